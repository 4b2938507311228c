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

bool geometryOnScreens(const QByteArray& geometry, const QList<QRect>& screens)
{
    // The start of QWidget::saveGeometry's layout: magic, version, frame geometry.
    QDataStream stream(geometry);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    stream >> magic >> major >> minor >> frame;
    if (stream.status() != QDataStream::Ok || magic != 0x1D9D0CB || major < 1 || !frame.isValid())
        return false;
    const QRect titleBar(frame.left(), frame.top(), frame.width(), qMin(frame.height(), 30));
    const int needWidth = qMin(frame.width(), 100);
    for (const QRect& screen : screens) {
        const QRect visible = titleBar.intersected(screen);
        if (visible.width() >= needWidth && visible.height() > 0)
            return true;
    }
    return false;
}
