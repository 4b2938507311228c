#include "commonhelpers.h"

#include <QtTest>
#include <QTreeWidget>

#include <unistd.h>

namespace {

// Records its own deletion so that the removal order can be checked.
class TrackedItem : public QTreeWidgetItem
{
public:
    TrackedItem(const QString& name, QStringList* log) : QTreeWidgetItem(QStringList{name}), log(log) {}
    ~TrackedItem() override { log->append(text(0)); }

private:
    QStringList* log;
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

} // namespace

class tst_CommonHelpers : public QObject
{
    Q_OBJECT
private slots:
    void toHex_data();
    void toHex();
    void text2HexString_data();
    void text2HexString();
    void hexToBytes_data();
    void hexToBytes();
    void hexToText_data();
    void hexToText();
    void hexRoundTrip();
    void mac_data();
    void mac();
    void ip_data();
    void ip();
    void deleteExisting_data();
    void deleteExisting();
    void deleteMissing_data();
    void deleteMissing();
    void deleteFailure();
    void deleteKeepsLinkTarget();
    void removeTreeItem();
    void removeTreeItemNull();
};

void tst_CommonHelpers::toHex_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("zero, ff, 10") << bytes({0x00, 0xff, 0x10}) << QStringLiteral("00 ff 10 ");
    QTest::newRow("high bytes lower-case") << bytes({0xab, 0xcd, 0xef}) << QStringLiteral("ab cd ef ");
    QTest::newRow("single byte") << bytes({0x7}) << QStringLiteral("07 ");
}

void tst_CommonHelpers::toHex()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    QCOMPARE(ByteArrayToHexString(data, QLatin1Char(' ')), expected);
    // The separator argument does not change the layout of the receive view.
    QCOMPARE(ByteArrayToHexString(data, QLatin1Char('-')), expected);
    QCOMPARE(ByteArray2HexString(data), expected);
    QCOMPARE(str2HexArray(data), expected);
    QCOMPARE(expected.size(), data.size() * 3);
}

void tst_CommonHelpers::text2HexString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("sep");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QChar(' ') << QString();
    QTest::newRow("AB") << QStringLiteral("AB") << QChar(' ') << QStringLiteral("41 42 ");
    QTest::newRow("line end") << QStringLiteral("a\r\n") << QChar(' ') << QStringLiteral("61 0d 0a ");
    QTest::newRow("other separator") << QStringLiteral("AB") << QChar(',') << QStringLiteral("41,42,");
}

void tst_CommonHelpers::text2HexString()
{
    QFETCH(QString, text);
    QFETCH(QChar, sep);
    QFETCH(QString, expected);
    QCOMPARE(::text2HexString(text, sep), expected);
}

void tst_CommonHelpers::hexToBytes_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("separated") << QStringLiteral("41 42") << bytes({0x41, 0x42});
    QTest::newRow("one piece") << QStringLiteral("4142") << bytes({0x41, 0x42});
    QTest::newRow("odd digits") << QStringLiteral("a1f") << bytes({0x0a, 0x1f});
    QTest::newRow("single digits") << QStringLiteral("1 2 3") << bytes({0x01, 0x02, 0x03});
    QTest::newRow("0x prefix") << QStringLiteral("0x41") << bytes({0x00, 0x41});
    QTest::newRow("stray letter") << QStringLiteral("4g1") << bytes({0x41});
    QTest::newRow("empty piece") << QStringLiteral("41  42") << bytes({0x41, 0x42});
    QTest::newRow("mixed case odd") << QStringLiteral("AbC") << bytes({0x0a, 0xbc});
    QTest::newRow("zero bytes kept") << QStringLiteral("00 41 00") << bytes({0x00, 0x41, 0x00});
    QTest::newRow("trailing separator") << QStringLiteral("41 42 ") << bytes({0x41, 0x42});
    QTest::newRow("no digits") << QStringLiteral("zz xy") << QByteArray();
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("non-Latin skipped") << QStringLiteral("4\u00e91") << bytes({0x41});
}

void tst_CommonHelpers::hexToBytes()
{
    QFETCH(QString, hex);
    QFETCH(QByteArray, expected);
    QCOMPARE(HexString2ByteArray(hex, QLatin1Char(' ')), expected);
}

void tst_CommonHelpers::hexToText_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("41 42 43 ") << QStringLiteral("ABC");
    QTest::newRow("stops at zero") << QStringLiteral("41 00 42") << QStringLiteral("A");
    QTest::newRow("leading zero") << QStringLiteral("00 41") << QString();
    QTest::newRow("nothing") << QString() << QString();
}

void tst_CommonHelpers::hexToText()
{
    QFETCH(QString, hex);
    QFETCH(QString, expected);
    QCOMPARE(HexString2text(hex, QLatin1Char(' ')), expected);
}

void tst_CommonHelpers::hexRoundTrip()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    QCOMPARE(HexString2ByteArray(ByteArrayToHexString(all, QLatin1Char(' ')), QLatin1Char(' ')), all);
    const QString text = QStringLiteral("Hello, world 123");
    QCOMPARE(HexString2text(::text2HexString(text, QLatin1Char(' ')), QLatin1Char(' ')), text);
}

void tst_CommonHelpers::mac_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray untouched = bytes({0xee, 0xee, 0xee, 0xee, 0xee, 0xee});
    QTest::newRow("mixed case") << QStringLiteral("00:1a:2B:3c:4d:5e") << true
                                << bytes({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e});
    QTest::newRow("dashes") << QStringLiteral("00-1a-2b-3c-4d-5e") << false << untouched;
    QTest::newRow("five pieces") << QStringLiteral("00:1a:2b:3c:4d") << false << untouched;
    QTest::newRow("seven pieces") << QStringLiteral("00:1a:2b:3c:4d:5e:6f") << false << untouched;
    QTest::newRow("trailing colon") << QStringLiteral("00:1a:2b:3c:4d:") << true
                                    << bytes({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x00});
    QTest::newRow("wide piece") << QStringLiteral("1ff:01:02:03:04:05") << true
                                << bytes({0xff, 0x01, 0x02, 0x03, 0x04, 0x05});
    QTest::newRow("not hex") << QStringLiteral("zz:01:02:03:04:05") << true
                             << bytes({0x00, 0x01, 0x02, 0x03, 0x04, 0x05});
    QTest::newRow("empty") << QString() << false << untouched;
}

void tst_CommonHelpers::mac()
{
    QFETCH(QString, mac);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    unsigned char out[8];
    memset(out, 0xee, sizeof out);
    QCOMPARE(string2array_mac(mac, out), ok);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 6), expected);
    QCOMPARE(out[6], static_cast<unsigned char>(0xee)); // nothing written past six bytes
}

void tst_CommonHelpers::ip_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray untouched = bytes({0xee, 0xee, 0xee, 0xee});
    QTest::newRow("plain") << QStringLiteral("198.18.0.1") << bytes({198, 18, 0, 1});
    QTest::newRow("wide value") << QStringLiteral("192.168.1.300") << bytes({0xc0, 0xa8, 0x01, 0x2c});
    QTest::newRow("three pieces") << QStringLiteral("192.168.1") << untouched;
    QTest::newRow("five pieces") << QStringLiteral("1.2.3.4.5") << untouched;
    QTest::newRow("not a number") << QStringLiteral("a.2.3.4") << bytes({0, 2, 3, 4});
    QTest::newRow("empty piece") << QStringLiteral("1..3.4") << bytes({1, 0, 3, 4});
    QTest::newRow("empty") << QString() << untouched;
}

void tst_CommonHelpers::ip()
{
    QFETCH(QString, ip);
    QFETCH(QByteArray, expected);
    unsigned char out[6];
    memset(out, 0xee, sizeof out);
    string2array_ip(ip, out);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 4), expected);
    QCOMPARE(out[4], static_cast<unsigned char>(0xee));
}

void tst_CommonHelpers::deleteExisting_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("file") << "file";
    QTest::newRow("directory tree") << "tree";
    QTest::newRow("empty directory") << "emptydir";
    QTest::newRow("relative path") << "relative";
    QTest::newRow("dangling link") << "dangling";
}

void tst_CommonHelpers::deleteExisting()
{
    QFETCH(QString, what);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    QString target = root.filePath(QStringLiteral("victim"));
    auto writeFile = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("data") == 4;
    };
    if (what == QLatin1String("file") || what == QLatin1String("relative")) {
        QVERIFY(writeFile(target));
    } else if (what == QLatin1String("tree")) {
        QVERIFY(root.mkpath(QStringLiteral("victim/a/b/c")));
        QVERIFY(writeFile(root.filePath(QStringLiteral("victim/top.txt"))));
        QVERIFY(writeFile(root.filePath(QStringLiteral("victim/a/b/c/deep.txt"))));
        QVERIFY(writeFile(root.filePath(QStringLiteral("victim/a/.hidden"))));
    } else if (what == QLatin1String("emptydir")) {
        QVERIFY(root.mkdir(QStringLiteral("victim")));
    } else if (what == QLatin1String("dangling")) {
        QVERIFY(QFile::link(root.filePath(QStringLiteral("nowhere")), target));
    }
    const QString before = QDir::currentPath();
    if (what == QLatin1String("relative")) {
        QVERIFY(QDir::setCurrent(tmp.path()));
        target = QStringLiteral("victim");
    }
    const bool result = DeleteFileOrFolder(target);
    QDir::setCurrent(before);
    QVERIFY(result);
    QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("victim"))));
    QVERIFY(!QFileInfo(root.filePath(QStringLiteral("victim"))).isSymLink());
    QVERIFY(root.exists()); // the parent stays
}

void tst_CommonHelpers::deleteMissing_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty path") << QString();
    QTest::newRow("missing file") << QStringLiteral("no-such-file");
    QTest::newRow("missing below missing dir") << QStringLiteral("no-such-dir/file");
}

void tst_CommonHelpers::deleteMissing()
{
    QFETCH(QString, path);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString full = path.isEmpty() ? path : QDir(tmp.path()).filePath(path);
    QVERIFY(!DeleteFileOrFolder(full));
    QVERIFY(QDir(tmp.path()).exists());
}

void tst_CommonHelpers::deleteFailure()
{
    // Unlinking inside /proc fails even for root: the path stays, so it is no success.
    const QString procFile = QStringLiteral("/proc/self/status");
    QVERIFY(QFileInfo::exists(procFile));
    QVERIFY(!DeleteFileOrFolder(procFile));
    QVERIFY(QFileInfo::exists(procFile));

    if (::geteuid() == 0)
        return; // root ignores directory permissions; the /proc case covers the rest
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    QVERIFY(root.mkpath(QStringLiteral("locked/inner")));
    const QString locked = root.filePath(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const bool result = DeleteFileOrFolder(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result);
    QVERIFY(QFileInfo::exists(locked));
}

void tst_CommonHelpers::deleteKeepsLinkTarget()
{
    // Removing a link to a directory must not empty the directory it points to.
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    QVERIFY(root.mkpath(QStringLiteral("real/sub")));
    const QString kept = root.filePath(QStringLiteral("real/sub"));
    const QString link = root.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("real")), link));
    QVERIFY(DeleteFileOrFolder(link));
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(kept).isDir());
}

void tst_CommonHelpers::removeTreeItem()
{
    QStringList log;
    QTreeWidget tree;
    auto* before = new TrackedItem(QStringLiteral("before"), &log);
    auto* top = new TrackedItem(QStringLiteral("top"), &log);
    auto* after = new TrackedItem(QStringLiteral("after"), &log);
    tree.addTopLevelItems({before, top, after});
    auto* a = new TrackedItem(QStringLiteral("a"), &log);
    auto* b = new TrackedItem(QStringLiteral("b"), &log);
    top->addChildren({a, b});
    a->addChildren({new TrackedItem(QStringLiteral("a1"), &log), new TrackedItem(QStringLiteral("a2"), &log)});
    b->addChild(new TrackedItem(QStringLiteral("b1"), &log));
    tree.setCurrentItem(a->child(1));

    RemoveTreeWidgetItem(top);

    QCOMPARE(log, (QStringList{"a1", "a2", "a", "b1", "b", "top"}));
    QCOMPARE(tree.topLevelItemCount(), 2);
    QCOMPARE(tree.topLevelItem(0), before);
    QCOMPARE(tree.topLevelItem(1), after);
    // The current item went with its subtree; the tree must not point at a deleted one.
    QVERIFY(!tree.currentItem() || tree.indexOfTopLevelItem(tree.currentItem()) >= 0);

    // A child inside a tree: only it and its subtree go.
    log.clear();
    auto* c = new TrackedItem(QStringLiteral("c"), &log);
    after->addChild(c);
    c->addChild(new TrackedItem(QStringLiteral("c1"), &log));
    RemoveTreeWidgetItem(c);
    QCOMPARE(log, (QStringList{"c1", "c"}));
    QCOMPARE(after->childCount(), 0);
}

void tst_CommonHelpers::removeTreeItemNull()
{
    RemoveTreeWidgetItem(nullptr); // must simply return
    QStringList log;
    {
        TrackedItem* lone = new TrackedItem(QStringLiteral("lone"), &log);
        RemoveTreeWidgetItem(lone); // an item outside any tree
    }
    QCOMPARE(log, QStringList{QStringLiteral("lone")});
}

QTEST_MAIN(tst_CommonHelpers)
#include "tst_commonhelpers.moc"
