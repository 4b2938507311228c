// Receive-to-file writer on real files: size limit arithmetic, rollover numbering,
// text detection and a rollover file that cannot be created.

#include "RecvFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class tst_RecvFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void limitFromMiB_data();
    void limitFromMiB();
    void rolloverSplitsAtLimit();
    void rolloverNames_data();
    void rolloverNames();
    void limitZeroGivesFilePerChunk();
    void textDetection_data();
    void textDetection();
    void reopenRestartsNumbering();
    void unwritableRollover();
    void openFailure();

private:
    static QByteArray pattern(int n, char seed)
    {
        QByteArray b(n, Qt::Uninitialized);
        for (int i = 0; i < n; ++i)
            b[i] = static_cast<char>(seed + i * 7);
        return b;
    }
    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

void tst_RecvFileWriter::limitFromMiB_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint64>("previous");
    QTest::addColumn<quint64>("expected");

    QTest::newRow("one") << "1" << quint64(5) << quint64(1048576);
    QTest::newRow("64") << "64" << quint64(5) << quint64(67108864);
    // 4096 MiB is 2^32 bytes: 32-bit arithmetic would give 0.
    QTest::newRow("4096 does not wrap") << "4096" << quint64(5) << quint64(4294967296ull);
    QTest::newRow("4097 does not wrap") << "4097" << quint64(5) << quint64(4296015872ull);
    QTest::newRow("100000") << "100000" << quint64(5) << quint64(104857600000ull);
    QTest::newRow("empty keeps previous") << "" << quint64(12345) << quint64(12345);
    QTest::newRow("zero") << "0" << quint64(5) << quint64(0);
    QTest::newRow("non-numeric") << "abc" << quint64(5) << quint64(0);
    QTest::newRow("negative") << "-3" << quint64(5) << quint64(0);
    QTest::newRow("saturates") << "99999999999999999" << quint64(5)
                               << std::numeric_limits<quint64>::max();
}

void tst_RecvFileWriter::limitFromMiB()
{
    QFETCH(QString, text);
    QFETCH(quint64, previous);
    QFETCH(quint64, expected);
    QCOMPARE(RecvFileWriter::limitFromMiB(text, previous), expected);
}

void tst_RecvFileWriter::rolloverSplitsAtLimit()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    RecvFileWriter w;
    QVERIFY(w.open(dir.filePath("cap.dat")));
    w.setLimit(RecvFileWriter::limitFromMiB("1", RecvFileWriter::defaultLimit));

    const QByteArray a = pattern(600000, 1);
    const QByteArray b = pattern(600000, 2);
    const QByteArray c = pattern(100000, 3);
    QCOMPARE(w.write(a), RecvFileWriter::Ok);
    QCOMPARE(w.write(b), RecvFileWriter::Ok);
    QCOMPARE(w.index(), quint32(1));
    QCOMPARE(w.fileName(), dir.filePath("cap_1.dat"));
    // Further chunks stay in the second file while it is within the limit.
    QCOMPARE(w.write(c), RecvFileWriter::Ok);
    w.close();

    const QByteArray first = readAll(dir.filePath("cap.dat"));
    const QByteArray second = readAll(dir.filePath("cap_1.dat"));
    QCOMPARE(first.size(), 1048576);
    QCOMPARE(second.size(), 151424 + 100000);
    QCOMPARE(first + second, a + b + c);
    QVERIFY(!QFileInfo::exists(dir.filePath("cap_2.dat")));
}

void tst_RecvFileWriter::rolloverNames_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("suffix") << "log.dat" << QStringList{"log.dat", "log_1.dat", "log_2.dat"};
    QTest::newRow("no suffix") << "name" << QStringList{"name", "name_1", "name_2"};
    // The base ends at the first dot, the suffix starts after the last one.
    QTest::newRow("two dots") << "a.b.txt" << QStringList{"a.b.txt", "a_1.txt", "a_2.txt"};
}

void tst_RecvFileWriter::rolloverNames()
{
    QFETCH(QString, chosen);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    RecvFileWriter w;
    QVERIFY(w.open(dir.filePath(chosen)));
    w.setLimit(10);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(w.write(QByteArray(10, char('A' + i))), RecvFileWriter::Ok);
    w.close();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(readAll(dir.filePath(expected.at(i))), QByteArray(10, char('A' + i)));
}

void tst_RecvFileWriter::limitZeroGivesFilePerChunk()
{
    QTemporaryDir dir;
    RecvFileWriter w;
    QVERIFY(w.open(dir.filePath("z.bin")));
    w.setLimit(RecvFileWriter::limitFromMiB("0", RecvFileWriter::defaultLimit));
    QCOMPARE(w.write("one"), RecvFileWriter::Ok);
    QCOMPARE(w.write("two!"), RecvFileWriter::Ok);
    QCOMPARE(w.write("three"), RecvFileWriter::Ok);
    w.close();
    QCOMPARE(readAll(dir.filePath("z.bin")), QByteArray());
    QCOMPARE(readAll(dir.filePath("z_1.bin")), QByteArray("one"));
    QCOMPARE(readAll(dir.filePath("z_2.bin")), QByteArray("two!"));
    QCOMPARE(readAll(dir.filePath("z_3.bin")), QByteArray("three"));
}

void tst_RecvFileWriter::textDetection_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("text");
    QTest::newRow("txt") << "capture.txt" << true;
    QTest::newRow("dat") << "capture.dat" << false;
    QTest::newRow("upper TXT") << "capture.TXT" << false;
    QTest::newRow("none") << "capture" << false;
}

void tst_RecvFileWriter::textDetection()
{
    QFETCH(QString, name);
    QFETCH(bool, text);
    QTemporaryDir dir;
    RecvFileWriter w;
    QVERIFY(w.open(dir.filePath(name)));
    QCOMPARE(w.isTextFile(), text);
    // A rollover file keeps the suffix and so the kind.
    w.setLimit(1);
    QCOMPARE(w.write("xy"), RecvFileWriter::Ok);
    QCOMPARE(w.index(), quint32(1));
    QCOMPARE(w.isTextFile(), text);
}

void tst_RecvFileWriter::reopenRestartsNumbering()
{
    QTemporaryDir dir;
    {
        QFile old(dir.filePath("r.dat"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("stale content");
    }
    RecvFileWriter w;
    QVERIFY(w.open(dir.filePath("r.dat")));
    QCOMPARE(readAll(dir.filePath("r.dat")), QByteArray()); // truncated
    w.setLimit(2);
    QCOMPARE(w.write("abcd"), RecvFileWriter::Ok);
    QCOMPARE(w.write("ef"), RecvFileWriter::Ok);
    QCOMPARE(w.index(), quint32(2));
    QVERIFY(w.open(dir.filePath("r.dat")));
    QCOMPARE(w.index(), quint32(0));
    QCOMPARE(w.write("ghij"), RecvFileWriter::Ok);
    QCOMPARE(readAll(dir.filePath("r_1.dat")), QByteArray("ij"));
}

void tst_RecvFileWriter::unwritableRollover()
{
    QTemporaryDir dir;
    RecvFileWriter w;
    QVERIFY(w.open(dir.filePath("u.dat")));
    w.setLimit(4);
    // A directory in the way of the rollover name cannot be opened as a file, even by root.
    QVERIFY(QDir(dir.path()).mkdir("u_1.dat"));
    QCOMPARE(w.write("1234"), RecvFileWriter::Ok);
    QCOMPARE(w.write("5678"), RecvFileWriter::RolloverFailed);
    QVERIFY(!w.isOpen());
    QVERIFY(w.errorText.contains("u_1.dat"));
    QCOMPARE(readAll(dir.filePath("u.dat")), QByteArray("1234"));
    // Closed: further data are ignored rather than written somewhere else.
    QCOMPARE(w.write("9"), RecvFileWriter::Ok);
}

void tst_RecvFileWriter::openFailure()
{
    QTemporaryDir dir;
    RecvFileWriter w;
    QVERIFY(!w.open(dir.filePath("missing/dir/file.dat")));
    QVERIFY(!w.isOpen());
    QVERIFY(!w.errorText.isEmpty());
}

QTEST_APPLESS_MAIN(tst_RecvFileWriter)
#include "tst_recvfilewriter.moc"
