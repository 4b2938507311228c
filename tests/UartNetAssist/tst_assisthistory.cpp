// The bounded remote-address histories and the history file config/assist.ini read and
// written through real INI files, hand-edited ones included.

#include "AssistHistoryFile.h"
#include "RecentList.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class tst_AssistHistory : public QObject
{
    Q_OBJECT

private slots:
    void recentListKeepsNewestDistinct();
    void recentListDropsOldestBeyondCapacity();
    void handEditedFile_data();
    void handEditedFile();
    void hugeCountCostsOnlyPresentEntries();
    void saveRemovesOldEntries();
};

void tst_AssistHistory::recentListKeepsNewestDistinct()
{
    RecentList r(3);
    QVERIFY(r.touch("a").added);
    QVERIFY(r.touch("b").added);
    const RecentList::Change again = r.touch("a");
    QVERIFY(!again.added);
    QVERIFY(again.dropped.isEmpty());
    QCOMPARE(r.entries(), (QStringList{"b", "a"}));
    r.touch("a"); // already the newest
    QCOMPARE(r.entries(), (QStringList{"b", "a"}));
    r.assign({"x", "y", "x", "z", "w"});
    QCOMPARE(r.entries(), (QStringList{"x", "z", "w"}));
    QVERIFY(!r.contains("y"));
    r.clear();
    QVERIFY(r.isEmpty());
    QVERIFY(!r.contains("w"));
}

void tst_AssistHistory::recentListDropsOldestBeyondCapacity()
{
    RecentList r(100);
    for (int i = 0; i < 20000; ++i) {
        const RecentList::Change c = r.touch(QStringLiteral("10.0.0.1:%1").arg(i));
        QVERIFY(c.added);
        QCOMPARE(c.dropped, i >= 100 ? QStringLiteral("10.0.0.1:%1").arg(i - 100) : QString());
    }
    QCOMPARE(r.size(), 100);
    QCOMPARE(r.entries().constFirst(), QStringLiteral("10.0.0.1:19900"));
    QCOMPARE(r.entries().constLast(), QStringLiteral("10.0.0.1:19999"));
    QVERIFY(r.contains(QStringLiteral("10.0.0.1:19950")));
    QVERIFY(!r.contains(QStringLiteral("10.0.0.1:19899")));
}

void tst_AssistHistory::handEditedFile_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("clients");
    QTest::newRow("port beyond range") << QByteArray("[port]\n1=70000\n") << 0 << QStringList();
    QTest::newRow("port not a number") << QByteArray("[port]\n1=abc\n") << 0 << QStringList();
    QTest::newRow("count above entries") << QByteArray("[client]\nremote_num=5\n1=127.0.0.1:1\n2=127.0.0.1:2\n")
                                         << 0 << QStringList{"127.0.0.1:1", "127.0.0.1:2"};
    QTest::newRow("entries above count ignored")
        << QByteArray("[client]\nremote_num=1\n1=127.0.0.1:1\n2=127.0.0.1:2\n") << 0 << QStringList{"127.0.0.1:1"};
    QTest::newRow("negative count") << QByteArray("[client]\nremote_num=-3\n1=127.0.0.1:1\n") << 0 << QStringList();
    QTest::newRow("bad entries skipped")
        << QByteArray("[client]\nremote_num=4\n1=127.0.0.1:70000\n2=nohost\n3=127.0.0.1:3\n4=127.0.0.1:3\n") << 0
        << QStringList{"127.0.0.1:3"};
    QTest::newRow("gap in numbering") << QByteArray("[port]\n1=10208\n[client]\nremote_num=3\n1=a:1\n3=b:3\n")
                                      << 10208 << QStringList{"a:1", "b:3"};
}

void tst_AssistHistory::handEditedFile()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, port);
    QFETCH(QStringList, clients);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("assist.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini);
    f.close();
    AssistHistoryFile::Contents out;
    QVERIFY(AssistHistoryFile(path).load(&out));
    QCOMPARE(out.port, port);
    QCOMPARE(out.clients, clients);
}

void tst_AssistHistory::hugeCountCostsOnlyPresentEntries()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("assist.ini"));
    QByteArray ini("[client]\nremote_num=2000000\n");
    for (int i = 1; i <= 150; ++i)
        ini += QByteArray::number(i) + "=127.0.0.1:" + QByteArray::number(i) + "\n";
    ini += "[udp]\nremote_num=2000000\n1=127.0.0.1:9\n";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini);
    f.close();

    AssistHistoryFile::Contents out;
    QVERIFY(AssistHistoryFile(path).load(&out));
    // At most the newest hundred, no padding with empty entries.
    QCOMPARE(out.clients.size(), AssistHistoryFile::maxEntries);
    QCOMPARE(out.clients.constFirst(), QStringLiteral("127.0.0.1:51"));
    QCOMPARE(out.clients.constLast(), QStringLiteral("127.0.0.1:150"));
    QCOMPARE(out.udpPeers, QStringList{"127.0.0.1:9"});

    // Written back, the file holds what was kept, not two million keys.
    QVERIFY(AssistHistoryFile(path).save(out));
    QSettings s(path, QSettings::IniFormat);
    QCOMPARE(s.value("client/remote_num").toInt(), 100);
    s.beginGroup("client");
    QCOMPARE(s.childKeys().size(), 101);
}

void tst_AssistHistory::saveRemovesOldEntries()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("assist.ini"));
    {
        QSettings s(path, QSettings::IniFormat);
        s.setValue("udp/remote_num", "1"); // fewer than the entries below
        for (int i = 1; i <= 5; ++i)
            s.setValue(QStringLiteral("udp/%1").arg(i), QStringLiteral("127.0.0.1:%1").arg(i));
    }
    AssistHistoryFile::Contents in;
    in.udpPeers = QStringList{"127.0.0.1:7"};
    QVERIFY(AssistHistoryFile(path).save(in));
    QSettings s(path, QSettings::IniFormat);
    QVERIFY(!s.contains("port/1")); // 0 is never written
    s.beginGroup("udp");
    QCOMPARE(s.childKeys(), (QStringList{"1", "remote_num"}));
    QCOMPARE(s.value("1").toString(), QStringLiteral("127.0.0.1:7"));
}

QTEST_APPLESS_MAIN(tst_AssistHistory)
#include "tst_assisthistory.moc"
