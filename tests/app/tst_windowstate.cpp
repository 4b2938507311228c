// What the window remembers between starts, through a real system.ini in a
// temporary application directory.

#include "IPManager.h"
#include "testutil.h"
#include "vxaWindow.h"
#include "windowsettings.h"

#include <QDockWidget>
#include <QHeaderView>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolBox>
#include <QtTest>

using testutil::TempAppDir;

namespace {

QByteArray geometryAt(const QRect& rect)
{
    QWidget w;
    w.setGeometry(rect);
    return w.saveGeometry();
}

QToolBox* toolBox(vxaWindow& w)
{
    return w.findChild<QToolBox*>(QStringLiteral("toolBox"));
}
QDockWidget* dock(vxaWindow& w)
{
    return w.findChild<QDockWidget*>(QStringLiteral("dockWidget_2"));
}
QHeaderView* deviceColumns(vxaWindow& w)
{
    return w.findChild<IPManager*>()->findChild<QTableWidget*>(QStringLiteral("tableWidget"))->horizontalHeader();
}

} // namespace

class tst_WindowState : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void geometryOnScreens_data();
    void geometryOnScreens();
    void roundTrip();
    void offScreenGeometryIgnored();
};

void tst_WindowState::initTestCase()
{
    Q_INIT_RESOURCE(vxa);
}

void tst_WindowState::geometryOnScreens_data()
{
    QTest::addColumn<QByteArray>("geometry");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<bool>("usable");

    const QList<QRect> one{QRect(0, 0, 1920, 1080)};
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    QTest::newRow("inside") << geometryAt(QRect(100, 100, 800, 600)) << one << true;
    QTest::newRow("right of every screen") << geometryAt(QRect(5000, 100, 800, 600)) << one << false;
    QTest::newRow("partly off, title bar in reach") << geometryAt(QRect(1800, 100, 800, 600)) << one << true;
    QTest::newRow("only a sliver in sight") << geometryAt(QRect(1900, 100, 800, 600)) << one << false;
    QTest::newRow("title bar above the screen") << geometryAt(QRect(100, -400, 800, 300)) << one << false;
    QTest::newRow("on the second screen") << geometryAt(QRect(2000, 100, 800, 600)) << two << true;
    QTest::newRow("second screen unplugged") << geometryAt(QRect(2000, 100, 800, 600)) << one << false;
    QTest::newRow("not a geometry") << QByteArray("garbage that is long enough to read rects from") << one << false;
    QTest::newRow("empty") << QByteArray() << one << false;
}

void tst_WindowState::geometryOnScreens()
{
    QFETCH(QByteArray, geometry);
    QFETCH(QList<QRect>, screens);
    QFETCH(bool, usable);
    QCOMPARE(::geometryOnScreens(geometry, screens), usable);
}

void tst_WindowState::roundTrip()
{
    TempAppDir dir;
    const QString ini = dir.filePath(QStringLiteral("config/system.ini"));
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("system/language"), QStringLiteral("none"));
    }
    int dockWidth = 0;
    QRect savedGeometry;
    {
        vxaWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setGeometry(QRect(8, 4, 760, 560));
        QTRY_COMPARE(w.size(), QSize(760, 560));
        const int before = dock(w)->width();
        w.resizeDocks({dock(w)}, {before + 30}, Qt::Horizontal);
        QTRY_VERIFY(dock(w)->width() > before);
        dockWidth = dock(w)->width();
        toolBox(w)->setCurrentIndex(3);
        deviceColumns(w)->resizeSection(3, 333);
        QCoreApplication::processEvents(); // the tool's toolbar may have grown the window
        savedGeometry = w.geometry();
        QVERIFY(savedGeometry.width() >= 760);
        QVERIFY(w.saveWindowState());
    }
    {
        const QSettings s(ini, QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("system/language")).toString(), QStringLiteral("none"));
        QCOMPARE(s.value(QStringLiteral("window/tool")).toInt(), 3);
        QVERIFY(!s.value(QStringLiteral("window/geometry")).toByteArray().isEmpty());
        QVERIFY(!s.value(QStringLiteral("window/state")).toByteArray().isEmpty());
        QVERIFY(!s.value(QStringLiteral("window/columns/ipDevices")).toByteArray().isEmpty());
    }

    vxaWindow w;
    QCOMPARE(w.size(), savedGeometry.size());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), savedGeometry.size());
    // The platform may shift a window by its frame; it must not land elsewhere.
    QVERIFY2((w.pos() - savedGeometry.topLeft()).manhattanLength() <= 24,
             qPrintable(QStringLiteral("%1,%2").arg(w.x()).arg(w.y())));
    QTRY_COMPARE(dock(w)->width(), dockWidth);
    QCOMPARE(toolBox(w)->currentIndex(), 3);
    QCOMPARE(w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"))->currentIndex(), 3);
    QVERIFY(w.toolBar(3)->isVisible());
    QVERIFY(!w.toolBar(2)->isVisible());
    QCOMPARE(deviceColumns(w)->sectionSize(3), 333);
}

void tst_WindowState::offScreenGeometryIgnored()
{
    TempAppDir dir;
    {
        QSettings s(dir.filePath(QStringLiteral("config/system.ini")), QSettings::IniFormat);
        s.setValue(QStringLiteral("window/geometry"), geometryAt(QRect(50000, 50000, 700, 500)));
        s.setValue(QStringLiteral("window/state"), QByteArray("not a state"));
        s.setValue(QStringLiteral("window/tool"), 99);
        s.setValue(QStringLiteral("window/columns/ipDevices"), QByteArray("not a header"));
    }
    vxaWindow w;
    QCOMPARE(w.size(), QSize(939, 642));
    QVERIFY(w.x() < 50000 && w.y() < 50000);
    QCOMPARE(toolBox(w)->currentIndex(), 0);
    QCOMPARE(deviceColumns(w)->count(), 11);
    QVERIFY(w.toolBar(1)->isHidden());
}

QTEST_MAIN(tst_WindowState)
#include "tst_windowstate.moc"
