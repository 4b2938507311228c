#include "AssistPrefs.h"

#include "FrameChecksum.h"
#include "appdir.h"

#include <QSettings>

namespace AssistPrefsFile {

namespace {

bool readFlag(QSettings& settings, const QString& key)
{
    return settings.value(key).toString().trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

QString flag(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QString path()
{
    return appDirPath() + QStringLiteral("/config/assist.ini");
}

AssistViewPrefs readView(QSettings& settings)
{
    AssistViewPrefs prefs;
    prefs.msStamps = readFlag(settings, QStringLiteral("view/ms_stamps"));
    prefs.showEscapes = readFlag(settings, QStringLiteral("view/show_escapes"));
    prefs.hexTextColumn = readFlag(settings, QStringLiteral("view/hex_text_column"));
    bool ok = false;
    const int lines = settings.value(QStringLiteral("view/scrollback")).toString().trimmed().toInt(&ok);
    if (ok && lines >= AssistViewPrefs::minScrollback && lines <= AssistViewPrefs::maxScrollback)
        prefs.scrollback = lines;
    return prefs;
}

void writeView(QSettings& settings, const AssistViewPrefs& prefs)
{
    settings.setValue(QStringLiteral("view/ms_stamps"), flag(prefs.msStamps));
    settings.setValue(QStringLiteral("view/show_escapes"), flag(prefs.showEscapes));
    settings.setValue(QStringLiteral("view/hex_text_column"), flag(prefs.hexTextColumn));
    settings.setValue(QStringLiteral("view/scrollback"), QString::number(prefs.scrollback));
}

int readChecksum(QSettings& settings)
{
    bool ok = false;
    const int index = settings.value(QStringLiteral("send/checksum")).toString().trimmed().toInt(&ok);
    return ok ? FrameChecksum::typeFromIndex(index) : FrameChecksum::None;
}

void writeChecksum(QSettings& settings, int index)
{
    settings.setValue(QStringLiteral("send/checksum"), QString::number(FrameChecksum::typeFromIndex(index)));
}

} // namespace AssistPrefsFile

AssistShared& AssistShared::instance()
{
    static AssistShared shared;
    return shared;
}

void AssistShared::reload()
{
    QSettings settings(AssistPrefsFile::path(), QSettings::IniFormat);
    if (!settings.isWritable())
        return;
    const AssistViewPrefs view = AssistPrefsFile::readView(settings);
    const int index = AssistPrefsFile::readChecksum(settings);
    SendHistory history;
    history.read(settings);
    if (view != viewPrefs) {
        viewPrefs = view;
        emit viewChanged();
    }
    if (index != checksumIndex) {
        checksumIndex = index;
        emit checksumChanged(index);
    }
    if (history.entries() != sendHistory.entries()) {
        sendHistory = history;
        emit historyReloaded();
    }
}

bool AssistShared::save(const std::function<void(QSettings&)>& write)
{
    QSettings settings(AssistPrefsFile::path(), QSettings::IniFormat);
    if (!settings.isWritable()) {
        errorText = tr("%1 cannot be written.").arg(AssistPrefsFile::path());
        return false;
    }
    write(settings);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        errorText = tr("%1 cannot be written.").arg(AssistPrefsFile::path());
        return false;
    }
    errorText.clear();
    return true;
}

bool AssistShared::setView(const AssistViewPrefs& prefs)
{
    AssistViewPrefs checked = prefs;
    checked.scrollback = qBound(AssistViewPrefs::minScrollback, prefs.scrollback, AssistViewPrefs::maxScrollback);
    if (checked != viewPrefs) {
        viewPrefs = checked;
        emit viewChanged();
    }
    return save([this](QSettings& s) { AssistPrefsFile::writeView(s, viewPrefs); });
}

bool AssistShared::setChecksum(int index)
{
    const int checked = FrameChecksum::typeFromIndex(index);
    if (checked != checksumIndex) {
        checksumIndex = checked;
        emit checksumChanged(checked);
    }
    return save([this](QSettings& s) { AssistPrefsFile::writeChecksum(s, checksumIndex); });
}

bool AssistShared::addToHistory(const QString& payload)
{
    const int previous = sendHistory.add(payload);
    if (previous == -2 || previous == 0)
        return true; // nothing changed
    emit historyAdded(payload, previous);
    return save([this](QSettings& s) { sendHistory.write(s); });
}
