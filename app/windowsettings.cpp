#include "windowsettings.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString group = QStringLiteral("window");
const QString columnsGroup = QStringLiteral("columns");
} // namespace

WindowSettings WindowSettings::read(const QString& iniPath)
{
    WindowSettings s;
    if (!QFileInfo::exists(iniPath))
        return s;
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.beginGroup(group);
    s.geometry = ini.value(QStringLiteral("geometry")).toByteArray();
    s.state = ini.value(QStringLiteral("state")).toByteArray();
    bool ok = false;
    const int tool = ini.value(QStringLiteral("tool")).toInt(&ok);
    s.tool = ok && tool >= 0 ? tool : -1; // checked against the tool count by the window
    ini.beginGroup(columnsGroup);
    const QStringList keys = ini.childKeys();
    for (const QString& key : keys) {
        const QByteArray state = ini.value(key).toByteArray();
        if (!state.isEmpty())
            s.columns.insert(key, state);
    }
    return s;
}

bool WindowSettings::write(const QString& iniPath) const
{
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    QSettings ini(iniPath, QSettings::IniFormat);
    if (!ini.isWritable())
        return false;
    ini.beginGroup(group);
    ini.setValue(QStringLiteral("geometry"), geometry);
    ini.setValue(QStringLiteral("state"), state);
    ini.setValue(QStringLiteral("tool"), tool);
    ini.remove(columnsGroup);
    ini.beginGroup(columnsGroup);
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        ini.setValue(it.key(), it.value());
    ini.endGroup();
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError;
}

namespace {

// The start of QWidget::saveGeometry's layout: magic, version, frame and normal geometry,
// screen number, maximized and full-screen flags.
struct StoredGeometry
{
    QRect frame;
    QRect normal;
    bool maximized = false;
};

bool readStoredGeometry(const QByteArray& geometry, StoredGeometry* out)
{
    QDataStream stream(geometry);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    qint32 screen = 0;
    quint8 maximized = 0;
    quint8 fullScreen = 0;
    stream >> magic >> major >> minor >> out->frame;
    if (stream.status() != QDataStream::Ok || magic != 0x1D9D0CB || major < 1 || !out->frame.isValid())
        return false;
    stream >> out->normal >> screen >> maximized >> fullScreen;
    if (stream.status() != QDataStream::Ok || !out->normal.isValid())
        out->normal = out->frame;
    out->maximized = maximized != 0 || fullScreen != 0;
    return true;
}

} // namespace

bool geometryOnScreens(const QByteArray& geometry, const QList<QRect>& screens)
{
    StoredGeometry stored;
    if (!readStoredGeometry(geometry, &stored))
        return false;
    const QRect& frame = stored.frame;
    const QRect titleBar(frame.left(), frame.top(), frame.width(), qMin(frame.height(), 30));
    const int needWidth = qMin(frame.width(), 100);
    for (const QRect& screen : screens) {
        const QRect visible = titleBar.intersected(screen);
        if (visible.width() >= needWidth && visible.height() > 0)
            return true;
    }
    return false;
}

QRect fitIntoArea(const QRect& frame, const QRect& client, const QRect& available)
{
    if (client.width() <= available.width() && client.height() <= available.height()
        && frame.width() <= available.width() && frame.height() <= available.height())
        return client;
    const QMargins border(qMax(0, client.left() - frame.left()), qMax(0, client.top() - frame.top()),
                          qMax(0, frame.right() - client.right()), qMax(0, frame.bottom() - client.bottom()));
    const QRect area = available.marginsRemoved(border);
    QRect fitted(client.topLeft(), client.size().boundedTo(area.size()));
    if (fitted.right() > area.right())
        fitted.moveRight(area.right());
    if (fitted.bottom() > area.bottom())
        fitted.moveBottom(area.bottom());
    if (fitted.left() < area.left())
        fitted.moveLeft(area.left());
    if (fitted.top() < area.top())
        fitted.moveTop(area.top());
    return fitted;
}

bool storedWindowFrame(const QByteArray& geometry, QRect* frame, QRect* client, bool* maximized)
{
    StoredGeometry stored;
    if (!readStoredGeometry(geometry, &stored))
        return false;
    *frame = stored.frame;
    *client = stored.normal;
    *maximized = stored.maximized;
    return true;
}
