#include "DataMonitor.h"
#include "commonhelpers.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

class tst_DataMonitor : public QObject
{
    Q_OBJECT
private slots:
    void hex_data();
    void hex();
    void row_data();
    void row();
    void saveFile();
    void saveToUnwritablePathWritesNothing();
    void clear();
    void boundedRows();
    void boundedText();
    void columnsFitTheirContents_data();
    void columnsFitTheirContents();
};

void tst_DataMonitor::hex_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("AB") << QByteArray("AB") << "41 42 ";
    QTest::newRow("zero and high bytes") << QByteArray("\x00\xff\x0a", 3) << "00 ff 0a ";
    QTest::newRow("empty") << QByteArray() << "";
}

void tst_DataMonitor::hex()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    QCOMPARE(str2HexArray(data), expected); // the monitor's content column
}

void tst_DataMonitor::row_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("hexText");
    QTest::newRow("text") << QByteArray("AB") << "AB" << "2" << "41 42 ";
    QTest::newRow("zero byte ends the text") << QByteArray("ab\x00" "cd", 5) << "ab" << "5" << "61 62 00 63 64 ";
    QTest::newRow("leading zero byte") << QByteArray("\x00x", 2) << "" << "2" << "00 78 ";
}

void tst_DataMonitor::row()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, content);
    QFETCH(QString, length);
    QFETCH(QString, hexText);
    DataMonitor monitor;
    monitor.addMsg(QStringLiteral("ttyS3"), "first");
    monitor.addMsg(QStringLiteral("Tcp Client"), data);
    QCOMPARE(monitor.rowCount(), 2);
    QCOMPARE(monitor.cellText(1, 0), QStringLiteral("2"));
    QVERIFY(QDateTime::fromString(monitor.cellText(1, 1), QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid());
    QCOMPARE(monitor.cellText(1, 2), QStringLiteral("Tcp Client"));
    QCOMPARE(monitor.cellText(1, 3), length);
    QCOMPARE(monitor.cellText(1, 4), content);
    QCOMPARE(monitor.cellText(1, 5), hexText);
}

void tst_DataMonitor::saveFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.txt"));
    {
        QFile old(path); // truncated, not appended to
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content that is longer than anything written below, surely longer\n"
                  "old content that is longer than anything written below, surely longer\n"
                  "old content that is longer than anything written below, surely longer\n");
    }
    DataMonitor monitor;
    monitor.addMsg(QStringLiteral("ttyS3"), "AB");
    monitor.addMsg(QStringLiteral("UDP"), "x");
    QVERIFY(monitor.saveToFile(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray all = file.readAll();
    QVERIFY(all.endsWith("\t\r\n"));
    const QList<QByteArray> lines = all.split('\n');
    QCOMPARE(lines.size(), 4); // three lines and the empty rest after the last line feed
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(lines.at(0), QByteArray("No\tTime\tSource\tLength\tContent\tOriginal (Hex)\t\r"));
    const QList<QByteArray> row1 = lines.at(1).split('\t');
    QCOMPARE(row1.size(), 7);
    QCOMPARE(row1.at(0), QByteArray("1"));
    QCOMPARE(row1.at(2), QByteArray("ttyS3"));
    QCOMPARE(row1.at(3), QByteArray("2"));
    QCOMPARE(row1.at(4), QByteArray("AB"));
    QCOMPARE(row1.at(5), QByteArray("41 42 "));
    QCOMPARE(row1.at(6), QByteArray("\r"));
    QVERIFY(lines.at(2).startsWith("2\t"));
}

void tst_DataMonitor::saveToUnwritablePathWritesNothing()
{
    QTemporaryDir dir;
    DataMonitor monitor;
    monitor.addMsg(QStringLiteral("ttyS3"), "AB");
    QVERIFY(!monitor.saveToFile(dir.filePath(QStringLiteral("missing/dir/file.txt"))));
    QVERIFY(!monitor.saveToFile(QString()));
}

void tst_DataMonitor::clear()
{
    DataMonitor monitor;
    monitor.addMsg(QStringLiteral("a"), "1");
    monitor.addMsg(QStringLiteral("a"), "2");
    monitor.clear();
    QCOMPARE(monitor.rowCount(), 0);
    monitor.addMsg(QStringLiteral("a"), "3");
    QCOMPARE(monitor.rowCount(), 1);
    QCOMPARE(monitor.cellText(0, 4), QStringLiteral("3"));
}

void tst_DataMonitor::boundedRows()
{
    DataMonitor monitor;
    const int total = DataMonitor::maxRows + 2500;
    for (int i = 1; i <= total; ++i)
        monitor.addMsg(QStringLiteral("ttyS3"), QByteArray::number(i));
    QVERIFY(monitor.rowCount() <= DataMonitor::maxRows);
    QVERIFY(monitor.rowCount() >= DataMonitor::maxRows - DataMonitor::trimBatch);
    // the newest rows stay, in order, and "No" counts every record
    const int last = monitor.rowCount() - 1;
    QCOMPARE(monitor.cellText(last, 0), QString::number(total));
    QCOMPARE(monitor.cellText(last, 4), QString::number(total));
    QCOMPARE(monitor.cellText(0, 0).toInt(), total - last);
    QCOMPARE(monitor.cellText(0, 4).toInt(), total - last);
}

void tst_DataMonitor::boundedText()
{
    DataMonitor monitor;
    const QByteArray chunk(64 * 1024, 'x'); // the largest chunk a serial unit delivers
    const int total = 200;
    for (int i = 1; i <= total; ++i)
        monitor.addMsg(QStringLiteral("ttyS3"), chunk);
    QVERIFY(monitor.textChars() <= DataMonitor::maxTextChars);
    QVERIFY(monitor.rowCount() >= 20);
    QVERIFY(monitor.rowCount() < total);
    qint64 shown = 0;
    for (int r = 0; r < monitor.rowCount(); ++r)
        shown += monitor.cellText(r, 4).size() + monitor.cellText(r, 5).size();
    QCOMPARE(shown, monitor.textChars());
    QCOMPARE(monitor.cellText(monitor.rowCount() - 1, 0), QString::number(total));
    QCOMPARE(monitor.cellText(monitor.rowCount() - 1, 3), QStringLiteral("65536"));
    QCOMPARE(monitor.cellText(monitor.rowCount() - 1, 4), QString::fromLatin1(chunk));
    QCOMPARE(monitor.cellText(monitor.rowCount() - 1, 5).size(), chunk.size() * 3);
    monitor.clear();
    QCOMPARE(monitor.textChars(), qint64(0));
}

void tst_DataMonitor::columnsFitTheirContents_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("size");
    QTest::newRow("serial port, one byte") << "ttyS12" << 1;
    QTest::newRow("tcp server, full chunk") << "Tcp Server" << 65536;
    QTest::newRow("tcp client") << "Tcp Client" << 1000;
}

void tst_DataMonitor::columnsFitTheirContents()
{
    QFETCH(QString, source);
    QFETCH(int, size);
    DataMonitor m;
    m.resize(900, 500);
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    m.addMsg(source, QByteArray(size, 'a'));
    QCOMPARE(m.rowCount(), 1);
    auto* table = m.findChild<QTableWidget*>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    // What the view itself would need to show column c's cells whole.
    auto contentWidth = [table](int c) { return static_cast<QAbstractItemView*>(table)->sizeHintForColumn(c); };
    // No, Time, Source and Length show their whole text.
    for (int c = 0; c < 4; ++c) {
        QVERIFY2(table->columnWidth(c) >= contentWidth(c),
                 qPrintable(QStringLiteral("column %1: %2 < %3").arg(c).arg(table->columnWidth(c)).arg(contentWidth(c))));
    }
    const int line = table->fontMetrics().height();
    QVERIFY(table->rowHeight(0) >= line);
    QVERIFY2(table->rowHeight(0) <= line + 8, qPrintable(QString::number(table->rowHeight(0))));
}

QTEST_MAIN(tst_DataMonitor)
#include "tst_datamonitor.moc"
