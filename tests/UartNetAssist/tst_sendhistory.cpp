// The send history (order, de-duplication, cap, recall, file round trip) and the shared
// preferences in config/assist.ini, on a real INI file in a temporary directory.

#include "AssistPrefs.h"
#include "SendHistory.h"
#include "testutil.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class tst_SendHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newestFirstWithoutRepeats();
    void capKeepsNewest();
    void fileRoundTrip();
    void malformedFile_data();
    void malformedFile();
    void recallWalksAndRestoresDraft();
    void viewPrefsFromFile_data();
    void viewPrefsFromFile();
    void sharedChangesAreWrittenAndAnnounced();

private:
    testutil::TempAppDir* appDir = nullptr;
    QString ini() const { return appDir->filePath(QStringLiteral("config/assist.ini")); }
};

void tst_SendHistory::init()
{
    appDir = new testutil::TempAppDir;
}

void tst_SendHistory::cleanup()
{
    delete appDir;
    appDir = nullptr;
}

void tst_SendHistory::newestFirstWithoutRepeats()
{
    SendHistory h;
    QCOMPARE(h.add(QStringLiteral("a")), -1);
    QCOMPARE(h.add(QStringLiteral("b")), -1);
    QCOMPARE(h.add(QStringLiteral("c")), -1);
    QCOMPARE(h.add(QStringLiteral("a")), 2); // moves to the front, not added twice
    QCOMPARE(h.entries(), (QStringList{"a", "c", "b"}));
    QCOMPARE(h.add(QString()), -2);
    QCOMPARE(h.add(QStringLiteral("A")), -1); // case matters: a payload is bytes
    QCOMPARE(h.entries().size(), 4);
}

void tst_SendHistory::capKeepsNewest()
{
    SendHistory h;
    for (int i = 1; i <= 25; ++i)
        h.add(QString::number(i));
    QCOMPARE(h.entries().size(), SendHistory::capacity);
    QCOMPARE(h.entries().first(), QStringLiteral("25"));
    QCOMPARE(h.entries().last(), QStringLiteral("6"));
    // A repeat of a kept entry drops nothing.
    QCOMPARE(h.add(QStringLiteral("6")), 19);
    QCOMPARE(h.entries().size(), SendHistory::capacity);
    QCOMPARE(h.entries().last(), QStringLiteral("7"));
    // A payload beyond the bound is not remembered and displaces nothing.
    QCOMPARE(h.add(QString(SendHistory::maxEntryChars + 1, QLatin1Char('x'))), -2);
    QCOMPARE(h.entries().first(), QStringLiteral("6"));
}

void tst_SendHistory::fileRoundTrip()
{
    SendHistory h;
    const QStringList sent{QStringLiteral("AT+CSQ"), QStringLiteral("01 03 00 00 00 0a"),
                           QStringLiteral("two\nlines, a comma"), QStringLiteral("100% = %1"),
                           QStringLiteral("\u4e2d\u6587")};
    for (const QString& s : sent)
        h.add(s);
    {
        QSettings settings(ini(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("send_history/9"), QStringLiteral("stale")); // beyond the new count
        h.write(settings);
    }
    QSettings settings(ini(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("send_history/count")).toInt(), sent.size());
    QCOMPARE(settings.value(QStringLiteral("send_history/1")).toString(), sent.last());
    QVERIFY(!settings.contains(QStringLiteral("send_history/9")));
    SendHistory back;
    back.read(settings);
    QCOMPARE(back.entries(), h.entries());
}

void tst_SendHistory::malformedFile_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("stored"); // keys 1..n, "-" leaves a key out
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("count beyond the entries") << "999" << QStringList{"a", "b"} << QStringList{"a", "b"};
    QTest::newRow("gaps, empties and repeats") << "5" << QStringList{"a", "-", "", "a", "c"}
                                               << QStringList{"a", "c"};
    QTest::newRow("count not a number") << "x" << QStringList{"a"} << QStringList();
    QTest::newRow("negative count") << "-3" << QStringList{"a"} << QStringList();
    QStringList many;
    for (int i = 0; i < 30; ++i)
        many << QString::number(i);
    QTest::newRow("more than the cap") << "30" << many << QStringList(many.mid(0, SendHistory::capacity));
    QTest::newRow("an entry beyond the size bound") << "3"
        << QStringList{"a", QString(SendHistory::maxEntryChars + 1, QLatin1Char('x')), "c"} << QStringList{"a", "c"};
}

void tst_SendHistory::malformedFile()
{
    QFETCH(QString, count);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, entries);
    {
        QSettings settings(ini(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("send_history/count"), count);
        for (int i = 0; i < stored.size(); ++i)
            if (stored.at(i) != QLatin1String("-"))
                settings.setValue(QStringLiteral("send_history/%1").arg(i + 1), stored.at(i));
    }
    QSettings settings(ini(), QSettings::IniFormat);
    SendHistory h;
    h.read(settings);
    QCOMPARE(h.entries(), entries);
}

void tst_SendHistory::recallWalksAndRestoresDraft()
{
    const QStringList entries{QStringLiteral("new"), QStringLiteral("mid"), QStringLiteral("old")};
    SendHistoryRecall r;
    QString out;
    QVERIFY(!r.newer(entries, out)); // not walking yet
    QVERIFY(r.older(entries, QStringLiteral("typing"), out));
    QCOMPARE(out, QStringLiteral("new"));
    QVERIFY(r.older(entries, out, out));
    QVERIFY(r.older(entries, out, out));
    QCOMPARE(out, QStringLiteral("old"));
    QVERIFY(!r.older(entries, out, out)); // stays at the oldest
    QVERIFY(r.newer(entries, out));
    QCOMPARE(out, QStringLiteral("mid"));
    QVERIFY(r.newer(entries, out));
    QVERIFY(r.newer(entries, out));
    QCOMPARE(out, QStringLiteral("typing")); // what was typed before the walk
    QVERIFY(!r.newer(entries, out));
    QVERIFY(!r.older({}, QStringLiteral("x"), out));
}

void tst_SendHistory::viewPrefsFromFile_data()
{
    QTest::addColumn<QString>("ms");
    QTest::addColumn<QString>("scrollback");
    QTest::addColumn<QString>("checksum");
    QTest::addColumn<bool>("msStamps");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("checksumIndex");
    QTest::newRow("absent") << QString() << QString() << QString() << false << 50 << 0;
    QTest::newRow("set") << "true" << "100000" << "5" << true << 100000 << 5;
    QTest::newRow("spaces around numbers") << "true" << " 500 " << " 3 " << true << 500 << 3;
    QTest::newRow("below the range") << "1" << "49" << "-1" << false << 50 << 0;
    QTest::newRow("above the range") << "TRUE" << "100001" << "6" << true << 50 << 0;
    QTest::newRow("not numbers") << "yes" << "many" << "crc" << false << 50 << 0;
}

void tst_SendHistory::viewPrefsFromFile()
{
    QFETCH(QString, ms);
    QFETCH(QString, scrollback);
    QFETCH(QString, checksum);
    QFETCH(bool, msStamps);
    QFETCH(int, lines);
    QFETCH(int, checksumIndex);
    {
        QSettings settings(ini(), QSettings::IniFormat);
        if (!ms.isNull())
            settings.setValue(QStringLiteral("view/ms_stamps"), ms);
        if (!scrollback.isNull())
            settings.setValue(QStringLiteral("view/scrollback"), scrollback);
        if (!checksum.isNull())
            settings.setValue(QStringLiteral("send/checksum"), checksum);
    }
    QSettings settings(ini(), QSettings::IniFormat);
    const AssistViewPrefs p = AssistPrefsFile::readView(settings);
    QCOMPARE(p.msStamps, msStamps);
    QVERIFY(!p.showEscapes && !p.hexTextColumn);
    QCOMPARE(p.scrollback, lines);
    QCOMPARE(AssistPrefsFile::readChecksum(settings), checksumIndex);
    // The character bound follows the lines and never drops below the default view's.
    QCOMPARE(p.maxChars(), lines == 50 ? 32768 : qMax(32768, lines * AssistViewPrefs::charsPerLine));
}

void tst_SendHistory::sharedChangesAreWrittenAndAnnounced()
{
    AssistShared& shared = AssistShared::instance();
    shared.reload();
    QCOMPARE(shared.view(), AssistViewPrefs());
    QSignalSpy view(&shared, &AssistShared::viewChanged);
    QSignalSpy added(&shared, &AssistShared::historyAdded);
    QVERIFY(view.isValid() && added.isValid());

    AssistViewPrefs p;
    p.showEscapes = true;
    p.scrollback = 250000; // beyond the range: kept at the maximum
    QVERIFY(shared.setView(p));
    QCOMPARE(view.count(), 1);
    QVERIFY(shared.setView(shared.view()));
    QCOMPARE(view.count(), 1); // no change, no news
    QVERIFY(shared.setChecksum(3));
    QVERIFY(shared.addToHistory(QStringLiteral("one")));
    QVERIFY(shared.addToHistory(QStringLiteral("two")));
    QVERIFY(shared.addToHistory(QStringLiteral("one")));
    QCOMPARE(added.count(), 3);
    QCOMPARE(added.last().at(1).toInt(), 1);

    QSettings settings(ini(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("view/show_escapes")).toString(), QStringLiteral("true"));
    QCOMPARE(settings.value(QStringLiteral("view/ms_stamps")).toString(), QStringLiteral("false"));
    QCOMPARE(settings.value(QStringLiteral("view/scrollback")).toString(), QStringLiteral("100000"));
    QCOMPARE(settings.value(QStringLiteral("send/checksum")).toString(), QStringLiteral("3"));
    QCOMPARE(settings.value(QStringLiteral("send_history/1")).toString(), QStringLiteral("one"));

    // Another application directory: the next panel reads its own file.
    delete appDir;
    appDir = new testutil::TempAppDir;
    shared.reload();
    QCOMPARE(view.count(), 2);
    QCOMPARE(shared.view(), AssistViewPrefs());
    QCOMPARE(shared.checksum(), 0);
    QVERIFY(shared.history().entries().isEmpty());
}

QTEST_GUILESS_MAIN(tst_SendHistory)
#include "tst_sendhistory.moc"
