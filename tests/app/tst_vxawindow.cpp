#include "vxaWindow.h"

#include "IPManager.h"
#include "plugVComData.h"
#include "testutil.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSettings>
#include <QStackedWidget>
#include <QToolBox>
#include <QTranslator>
#include <QtTest>

#include <memory>

using testutil::TempAppDir;

namespace {

const QStringList toolNames = {QStringLiteral("IP Manager"), QStringLiteral("VCOM-Network Connection"),
                               QStringLiteral("Uart Net Assistant"), QStringLiteral("Message Debug")};

QToolBox* toolBox(vxaWindow& w)
{
    return w.findChild<QToolBox*>(QStringLiteral("toolBox"));
}
QStackedWidget* stack(vxaWindow& w)
{
    return w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
}
QMenu* menu(vxaWindow& w, const char* name)
{
    return w.findChild<QMenu*>(QLatin1String(name));
}

// The System menu's actions without separators: the tools in index order, then Exit.
QList<QAction*> systemActions(vxaWindow& w)
{
    QList<QAction*> out;
    const auto actions = menu(w, "menuSystem")->actions();
    for (QAction* a : actions) {
        if (!a->isSeparator())
            out.append(a);
    }
    return out;
}

QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        out.append(a->text());
    return out;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString probeQm(const QString& which)
{
    return QStringLiteral(PROBE_QM_DIR "/probe_%1.qm").arg(which);
}

void writeLanguage(const TempAppDir& dir, const QString& language)
{
    QSettings s(dir.filePath(QStringLiteral("config/system.ini")), QSettings::IniFormat);
    s.setValue(QStringLiteral("system/language"), language);
}

// Runs a fresh event loop once; a quit request left behind makes it return at once.
int spinLoopOnce()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop]() { loop.exit(7); });
    return loop.exec();
}

} // namespace

class tst_VxaWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void formAndSlots();
    void toolBoxDrivesStack_data();
    void toolBoxDrivesStack();
    void indexBeyondStack();
    void systemMenuSelects_data();
    void systemMenuSelects();
    void languageDirectory_data();
    void languageDirectory();
    void noLanguage_data();
    void noLanguage();
    void switchingReplacesTranslators();
    void startsTranslated();
    void retranslatesOnLanguageChange();
    void aboutText_data();
    void aboutText();
    void quitAnswer_data();
    void quitAnswer();
    void exitNoKeepsRunning_data();
    void exitNoKeepsRunning();
    void exitYesQuits();
};

void tst_VxaWindow::initTestCase()
{
    Q_INIT_RESOURCE(vxa);
    QVERIFY2(QFileInfo::exists(probeQm(QStringLiteral("first"))), "probe translations not built");
}

void tst_VxaWindow::formAndSlots()
{
    TempAppDir dir;
    vxaWindow w;
    QCOMPARE(w.objectName(), QStringLiteral("vxaWindow"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Zelto"));
    QCOMPARE(w.size(), QSize(939, 642));

    QCOMPARE(toolBox(w)->count(), 4);
    QCOMPARE(stack(w)->count(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(toolBox(w)->itemText(i), toolNames.at(i));
    QCOMPARE(toolBox(w)->indexOf(w.findChild<QWidget*>(QStringLiteral("page_3"))), -1);
    // The first two tools are their own data widgets.
    QVERIFY(qobject_cast<IPManager*>(stack(w)->widget(0)));
    QVERIFY(qobject_cast<plugVComData*>(stack(w)->widget(1)));
    QCOMPARE(toolBox(w)->currentIndex(), 0);
    QCOMPARE(stack(w)->currentIndex(), 0);

    QStringList menus;
    const auto bar = w.findChild<QMenuBar*>(QStringLiteral("menuBar"))->actions();
    for (QAction* a : bar)
        menus.append(a->menu() ? a->menu()->objectName() : QString());
    QCOMPARE(menus, (QStringList{"menuSystem", "menuWindwos", "menuHelp"}));
    QCOMPARE(texts(systemActions(w)), toolNames + QStringList{QStringLiteral("Exit")});

    auto* dock = w.findChild<QDockWidget*>(QStringLiteral("dockWidget_2"));
    QVERIFY(dock);
    QCOMPARE(w.dockWidgetArea(dock), Qt::LeftDockWidgetArea);
    QCOMPARE(dock->allowedAreas(), Qt::LeftDockWidgetArea);
    QVERIFY(menu(w, "menuWindwos")->actions().contains(dock->toggleViewAction()));

    // Status bar: the maker's link first, the logo last.
    QPushButton* link = w.statusBar()->findChild<QPushButton*>();
    QVERIFY(link);
    QVERIFY(link->isFlat());
    QVERIFY(link->text().startsWith(QLatin1String("https://")));

    auto* about = w.findChild<QAction*>(QStringLiteral("actionAbout"));
    QVERIFY(about);
    QCOMPARE(menu(w, "menuHelp")->actions(), QList<QAction*>{about});
    QCOMPARE(about->shortcut(), QKeySequence(QStringLiteral("Alt+A")));
}

void tst_VxaWindow::toolBoxDrivesStack_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < 4; ++i)
        QTest::newRow(qPrintable(toolNames.at(i))) << i;
}

void tst_VxaWindow::toolBoxDrivesStack()
{
    QFETCH(int, index);
    TempAppDir dir;
    vxaWindow w;
    w.show();
    const int other = (index + 1) % 4;
    toolBox(w)->setCurrentIndex(other);
    QCOMPARE(stack(w)->currentIndex(), other);
    toolBox(w)->setCurrentIndex(index);
    QCOMPARE(stack(w)->currentIndex(), index);
    // The stack page shown holds the data of the tool box page chosen.
    QCOMPARE(stack(w)->currentWidget(), stack(w)->widget(index));
}

void tst_VxaWindow::indexBeyondStack()
{
    TempAppDir dir;
    vxaWindow w;
    toolBox(w)->setCurrentIndex(2);
    QCOMPARE(stack(w)->currentIndex(), 2);
    auto* extra = new QWidget;
    toolBox(w)->addItem(extra, QStringLiteral("extra"));
    QCOMPARE(toolBox(w)->count(), 5);
    toolBox(w)->setCurrentIndex(4);
    QCOMPARE(toolBox(w)->currentIndex(), 4);
    QCOMPARE(stack(w)->currentIndex(), 2);
    QCOMPARE(stack(w)->count(), 4);
    toolBox(w)->setCurrentIndex(1);
    QCOMPARE(stack(w)->currentIndex(), 1);
}

void tst_VxaWindow::systemMenuSelects_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < 4; ++i)
        QTest::newRow(qPrintable(toolNames.at(i))) << i;
}

void tst_VxaWindow::systemMenuSelects()
{
    QFETCH(int, index);
    TempAppDir dir;
    vxaWindow w;
    toolBox(w)->setCurrentIndex((index + 2) % 4);
    QAction* action = systemActions(w).at(index);
    QCOMPARE(action->text(), toolNames.at(index));
    action->trigger();
    QCOMPARE(toolBox(w)->currentIndex(), index);
    QCOMPARE(stack(w)->currentIndex(), index);
}

void tst_VxaWindow::languageDirectory_data()
{
    QTest::addColumn<QString>("language");
    // Entries to create in the language directory: "name=first|second|junk|dir|link".
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expectedFiles"); // translators in order; "-" failed to load
    QTest::addColumn<QString>("shared");
    QTest::addColumn<bool>("firstInstalled");
    QTest::addColumn<bool>("secondInstalled");

    QTest::newRow("two files in listing order")
        << "probe" << QStringList{"B_second.qm=second", "a_first.qm=first"}
        << QStringList{"a_first.qm", "B_second.qm"} << "shared from second" << true << true;
    QTest::newRow("listing order decides")
        << "probe" << QStringList{"b_first.qm=first", "a_second.qm=second"}
        << QStringList{"a_second.qm", "b_first.qm"} << "shared from first" << true << true;
    QTest::newRow("any name, link counts, subdirectory skipped")
        << "probe" << QStringList{"sub=dir", "translation.bin=second", "x_link=link"}
        << QStringList{"translation.bin", "x_link"} << "shared from first" << true << true;
    QTest::newRow("unloadable file kept, not installed")
        << "probe" << QStringList{"junk.txt=junk", "m_first.qm=first"}
        << QStringList{"-", "m_first.qm"} << "shared from first" << true << false;
    QTest::newRow("empty name loads languages itself")
        << "" << QStringList{"a_first.qm=first", "zh_CN=dir"} << QStringList{"a_first.qm"}
        << "shared from first" << true << false;
}

void tst_VxaWindow::languageDirectory()
{
    QFETCH(QString, language);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expectedFiles);
    QFETCH(QString, shared);
    QFETCH(bool, firstInstalled);
    QFETCH(bool, secondInstalled);

    TempAppDir dir;
    QVERIFY(dir.isValid());
    const QString langDir = dir.filePath(QStringLiteral("languages/") + language);
    QVERIFY(QDir().mkpath(langDir));
    QTemporaryDir outside; // link targets live outside the language directory
    for (const QString& entry : qAsConst(entries)) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString kind = entry.section(QLatin1Char('='), 1);
        const QString path = langDir + QLatin1Char('/') + name;
        if (kind == QLatin1String("dir")) {
            QVERIFY(QDir().mkpath(path));
            QVERIFY(QFile::copy(probeQm(QStringLiteral("second")), path + QStringLiteral("/inner.qm")));
        } else if (kind == QLatin1String("junk")) {
            QVERIFY(writeFile(path, "not a translation"));
        } else if (kind == QLatin1String("link")) {
            const QString target = outside.filePath(QStringLiteral("target.qm"));
            QVERIFY(QFile::copy(probeQm(QStringLiteral("first")), target));
            QVERIFY(QFile::link(target, path));
        } else {
            QVERIFY(QFile::copy(probeQm(kind), path));
        }
    }
    writeLanguage(dir, language);

    QCOMPARE(QCoreApplication::translate("probe", "Shared"), QStringLiteral("Shared"));
    {
        vxaWindow w;
        QStringList files;
        for (QTranslator* t : w.languageTranslators())
            files.append(t->isEmpty() ? QStringLiteral("-") : QFileInfo(t->filePath()).fileName());
        QCOMPARE(files, expectedFiles);
        // The last installed translator answers first; each one is installed.
        QCOMPARE(QCoreApplication::translate("probe", "Shared"), shared);
        QCOMPARE(QCoreApplication::translate("probe", "FirstOnly"),
                 firstInstalled ? QStringLiteral("only in first") : QStringLiteral("FirstOnly"));
        QCOMPARE(QCoreApplication::translate("probe", "SecondOnly"),
                 secondInstalled ? QStringLiteral("only in second") : QStringLiteral("SecondOnly"));

        const QSettings s(dir.filePath(QStringLiteral("config/system.ini")), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("system/language")).toString(), language);
    }
    // The window's translators go with it.
    QCOMPARE(QCoreApplication::translate("probe", "Shared"), QStringLiteral("Shared"));
}

void tst_VxaWindow::noLanguage_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("language directory missing") << "missing-lang";
    QTest::newRow("no languages directory") << "no-languages";
    QTest::newRow("no system.ini") << "no-ini";
    QTest::newRow("no config directory") << "no-config";
}

void tst_VxaWindow::noLanguage()
{
    QFETCH(QString, setup);
    TempAppDir dir;
    const QString ini = dir.filePath(QStringLiteral("config/system.ini"));
    // Other translations exist, but not for the language asked for.
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("languages/other"))));
    QVERIFY(QFile::copy(probeQm(QStringLiteral("first")), dir.filePath(QStringLiteral("languages/other/a.qm"))));
    QVERIFY(QFile::copy(probeQm(QStringLiteral("first")), dir.filePath(QStringLiteral("languages/a.qm"))));
    const QByteArray iniText = "[system]\nlanguage=xx_YY\n; kept as written\n";
    if (setup == QLatin1String("missing-lang")) {
        QVERIFY(writeFile(ini, iniText));
    } else if (setup == QLatin1String("no-languages")) {
        QVERIFY(writeFile(ini, iniText));
        QVERIFY(QDir(dir.filePath(QStringLiteral("languages"))).removeRecursively());
    } else if (setup == QLatin1String("no-config")) {
        QVERIFY(QDir(dir.filePath(QStringLiteral("config"))).removeRecursively());
    }

    {
        vxaWindow w;
        QVERIFY(w.languageTranslators().isEmpty());
        QCOMPARE(QCoreApplication::translate("probe", "Shared"), QStringLiteral("Shared"));
        QCOMPARE(toolBox(w)->itemText(0), toolNames.at(0));
    }
    if (setup == QLatin1String("missing-lang") || setup == QLatin1String("no-languages"))
        QCOMPARE(readFile(ini), iniText);
    else
        QVERIFY(!QFileInfo::exists(ini));
}

void tst_VxaWindow::switchingReplacesTranslators()
{
    TempAppDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("languages/one"))));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("languages/two"))));
    QVERIFY(QFile::copy(probeQm(QStringLiteral("first")), dir.filePath(QStringLiteral("languages/one/p.qm"))));
    QVERIFY(QFile::copy(probeQm(QStringLiteral("second")), dir.filePath(QStringLiteral("languages/two/p.qm"))));
    writeLanguage(dir, QStringLiteral("one"));
    const QString ini = dir.filePath(QStringLiteral("config/system.ini"));

    vxaWindow w;
    QCOMPARE(QCoreApplication::translate("probe", "Shared"), QStringLiteral("shared from first"));

    w.switchLanguage(QStringLiteral("two"));
    QCOMPARE(w.languageTranslators().size(), 1);
    QCOMPARE(QCoreApplication::translate("probe", "Shared"), QStringLiteral("shared from second"));
    QCOMPARE(QCoreApplication::translate("probe", "FirstOnly"), QStringLiteral("FirstOnly"));
    QCOMPARE(QSettings(ini, QSettings::IniFormat).value(QStringLiteral("system/language")).toString(),
             QStringLiteral("two"));

    // A language without a directory removes the old translators and writes nothing.
    w.switchLanguage(QStringLiteral("three"));
    QVERIFY(w.languageTranslators().isEmpty());
    QCOMPARE(QCoreApplication::translate("probe", "Shared"), QStringLiteral("Shared"));
    QCOMPARE(QSettings(ini, QSettings::IniFormat).value(QStringLiteral("system/language")).toString(),
             QStringLiteral("two"));
}

void tst_VxaWindow::startsTranslated()
{
    TempAppDir dir;
    const QString zh = QStringLiteral(VXA_BIN_DIR "/languages/zh_CN/app_zh_CN.qm");
    QVERIFY2(QFileInfo::exists(zh), "built zh_CN translation missing");
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("languages/zh_CN"))));
    QVERIFY(QFile::copy(zh, dir.filePath(QStringLiteral("languages/zh_CN/app_zh_CN.qm"))));
    writeLanguage(dir, QStringLiteral("zh_CN"));

    vxaWindow w;
    // Installed before the form exists, so the texts are created translated.
    QCOMPARE(menu(w, "menuSystem")->title(), QStringLiteral("系统(&S)"));
    QCOMPARE(toolBox(w)->itemText(0), QStringLiteral("IP 管理器"));
    QCOMPARE(toolBox(w)->itemText(3), QStringLiteral("报文调试"));
    QCOMPARE(systemActions(w).last()->text(), QStringLiteral("退出"));
}

void tst_VxaWindow::retranslatesOnLanguageChange()
{
    TempAppDir dir;
    vxaWindow w;
    w.show();
    QCOMPARE(menu(w, "menuHelp")->title(), QStringLiteral("&Help"));

    QTranslator zh;
    QVERIFY(zh.load(QStringLiteral(VXA_BIN_DIR "/languages/zh_CN/app_zh_CN.qm")));
    QVERIFY(QCoreApplication::installTranslator(&zh));
    QTRY_COMPARE_WITH_TIMEOUT(menu(w, "menuHelp")->title(), QStringLiteral("帮助(&H)"), 5000);
    QCOMPARE(w.findChild<QDockWidget*>(QStringLiteral("dockWidget_2"))->windowTitle(), QStringLiteral("工具视图"));
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("actionAbout"))->text(), QStringLiteral("关于"));
    const QStringList zhTools = {QStringLiteral("IP 管理器"), QStringLiteral("虚拟串口-网络连接"),
                                 QStringLiteral("串口网络调试助手"), QStringLiteral("报文调试")};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(toolBox(w)->itemText(i), zhTools.at(i));
    QCOMPARE(texts(systemActions(w)), zhTools + QStringList{QStringLiteral("退出")});

    QVERIFY(QCoreApplication::removeTranslator(&zh));
    QTRY_COMPARE_WITH_TIMEOUT(menu(w, "menuHelp")->title(), QStringLiteral("&Help"), 5000);
    QCOMPARE(texts(systemActions(w)), toolNames + QStringList{QStringLiteral("Exit")});
}

void tst_VxaWindow::aboutText_data()
{
    QTest::addColumn<QByteArray>("versionIni");
    QTest::addColumn<QString>("tag");
    QTest::newRow("tag") << QByteArray("[VXA]\nTAG=V9.8.7 build 1\n") << "V9.8.7 build 1";
    QTest::newRow("tag with comma") << QByteArray("[VXA]\nTAG=V2.0, beta\n") << "V2.0, beta";
    QTest::newRow("markup shown as written")
        << QByteArray("[VXA]\nTAG=<b>V3</b> <img src=x.png width=800 height=8153>\n")
        << "<b>V3</b> <img src=x.png width=800 height=8153>";
    QTest::newRow("key missing") << QByteArray("[VXA]\nOTHER=1\n") << "";
    QTest::newRow("file missing") << QByteArray() << "";
}

void tst_VxaWindow::aboutText()
{
    QFETCH(QByteArray, versionIni);
    QFETCH(QString, tag);
    TempAppDir dir;
    if (!versionIni.isEmpty())
        QVERIFY(writeFile(dir.filePath(QStringLiteral("config/version.ini")), versionIni));
    vxaWindow w;
    QString text, title;
    Qt::TextFormat format = Qt::AutoText;
    int height = 0;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* box) {
        text = testutil::modalText(box);
        title = box->windowTitle();
        format = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->textFormat();
        height = box->height();
    });
    w.findChild<QAction*>(QStringLiteral("actionAbout"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
    QCOMPARE(title, QStringLiteral("About"));
    QCOMPARE(format, Qt::PlainText); // a tag is never rendered as markup
    QVERIFY2(height < 1000, qPrintable(QString::number(height)));
    QVERIFY2(text.startsWith(tag + QStringLiteral("\n\n")), qPrintable(text));
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines.at(1), QString());
    QVERIFY(lines.at(2).startsWith(QLatin1String("https://")));
    QCOMPARE(lines.at(3), QString());
    QVERIFY(lines.at(4).contains(QLatin1Char('@')));
    QCOMPARE(lines.at(5), QString());
    QVERIFY(lines.at(6).startsWith(QLatin1String("Copyright")));
}

void tst_VxaWindow::quitAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("quits");
    QTest::newRow("yes button") << "&Yes" << true;
    QTest::newRow("no button") << "&No" << false;
    QTest::newRow("escape key") << "Escape" << false;
    QTest::newRow("return key takes the default") << "Return" << true;
}

void tst_VxaWindow::quitAnswer()
{
    QFETCH(QString, answer);
    QFETCH(bool, quits);
    TempAppDir dir;
    vxaWindow w;
    w.show();
    QString text, title;
    auto record = [&](QWidget* box) {
        text = testutil::modalText(box);
        title = box->windowTitle();
    };
    if (answer.startsWith(QLatin1Char('&')))
        testutil::answerNextModal(answer, record);
    else
        testutil::keyNextModal(answer == QLatin1String("Escape") ? Qt::Key_Escape : Qt::Key_Return, record);
    QCOMPARE(w.confirmQuit(), quits);
    QCOMPARE(title, QStringLiteral("Messages"));
    QCOMPARE(text, QStringLiteral("Do you want to quit system?"));
}

void tst_VxaWindow::exitNoKeepsRunning_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("no button") << "&No";
    QTest::newRow("escape key") << "Escape";
}

void tst_VxaWindow::exitNoKeepsRunning()
{
    QFETCH(QString, answer);
    TempAppDir dir;
    vxaWindow w;
    w.show();
    if (answer == QLatin1String("&No"))
        testutil::answerNextModal(answer);
    else
        testutil::keyNextModal(Qt::Key_Escape);
    QAction* exitAction = systemActions(w).last();
    QCOMPARE(exitAction->text(), QStringLiteral("Exit"));
    exitAction->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
    // Had quit been asked for, every later event loop would return at once.
    QCOMPARE(spinLoopOnce(), 7);
    QVERIFY(w.isVisible());
}

void tst_VxaWindow::exitYesQuits()
{
    TempAppDir dir;
    vxaWindow w;
    w.show();
    testutil::answerNextModal(QStringLiteral("&Yes"));
    QTimer::singleShot(0, &w, [&w]() { systemActions(w).last()->trigger(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, []() { QCoreApplication::exit(99); });
    watchdog.start(10000);
    QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
    QVERIFY(aboutToQuit.isValid());
    // The application's own loop, as in main(): "&Yes" must end it with 0.
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(aboutToQuit.count(), 1);
}

QTEST_MAIN(tst_VxaWindow)
#include "tst_vxawindow.moc"
