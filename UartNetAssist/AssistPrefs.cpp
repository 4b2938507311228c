#include "AssistPrefs.h"
#include "assistlog.h"

#include "AssistHistoryFile.h"
#include "FrameChecksum.h"
#include "appdir.h"

#include <QFileInfo>
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
    return dataFilePath(QStringLiteral("config/assist.ini"));
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

AssistShared::AssistShared()
    : clientList(AssistHistoryFile::maxEntries)
    , udpList(AssistHistoryFile::maxEntries)
{
    addressSave.setSingleShot(true);
    addressSave.setInterval(200);
    connect(&addressSave, &QTimer::timeout, this, [this]() {
        if (!flushAddresses())
            qCWarning(lcAssist).noquote() << errorText;
    });
}

AssistShared& AssistShared::instance()
{
    static AssistShared shared;
    return shared;
}

void AssistShared::reload()
{
    // What is still gathered goes out first, so reading the file back loses nothing; what
    // could not be saved stays as it is in memory.
    if (!flushAddresses() || unsaved)
        return;
    // A file left beside the program by an older version is still read until the first save.
    const QString relative = QStringLiteral("config/assist.ini");
    QString file = AssistPrefsFile::path();
    if (!QFileInfo::exists(file))
        file = readFilePath(relative);
    AssistHistoryFile::Contents addresses;
    AssistHistoryFile(file).load(&addresses);
    lastPort = addresses.port;
    clientList.assign(addresses.clients);
    udpList.assign(addresses.udpPeers);

    QSettings settings(file, QSettings::IniFormat);
    // Counts that promise more than the file holds (a hand-edited file) are put right.
    for (const auto& list : {std::make_pair(QStringLiteral("client/remote_num"), clientList.size()),
                             std::make_pair(QStringLiteral("udp/remote_num"), udpList.size())}) {
        if (settings.contains(list.first) && settings.value(list.first).toString() != QString::number(list.second))
            addressesChanged();
    }
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

bool AssistShared::prepareFile()
{
    const QString relative = QStringLiteral("config/assist.ini");
    if (!makeDataDirFor(relative, &errorText))
        return false;
    // The first save in the user's folder starts from the file an older version left
    // beside the program, so keys this save does not write are kept.
    const QString target = AssistPrefsFile::path();
    const QString old = readFilePath(relative);
    if (!QFileInfo::exists(target) && old != target && QFileInfo::exists(old) && QFile::copy(old, target))
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool AssistShared::save(const std::function<void(QSettings&)>& write)
{
    if (!prepareFile()) {
        unsaved = true;
        return false;
    }
    QSettings settings(AssistPrefsFile::path(), QSettings::IniFormat);
    if (!settings.isWritable()) {
        errorText = tr("%1 cannot be written.").arg(AssistPrefsFile::path());
        unsaved = true;
        return false;
    }
    write(settings);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        errorText = tr("%1 cannot be written.").arg(AssistPrefsFile::path());
        unsaved = true;
        return false;
    }
    errorText.clear();
    unsaved = false;
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

QStringList AssistShared::newestFirst(const RecentList& list)
{
    const QStringList& oldestFirst = list.entries();
    return QStringList(oldestFirst.crbegin(), oldestFirst.crend());
}

void AssistShared::addressesChanged()
{
    if (!addressSave.isActive())
        addressSave.start();
}

void AssistShared::setListenPort(int port)
{
    if (port <= 0 || port == lastPort)
        return;
    lastPort = port;
    addressesChanged();
}

void AssistShared::touchClient(const QString& remote)
{
    if (!clientList.isEmpty() && clientList.entries().constLast() == remote)
        return;
    clientList.touch(remote);
    addressesChanged();
}

RecentList::Change AssistShared::touchUdpPeer(const QString& peer)
{
    const bool newest = !udpList.isEmpty() && udpList.entries().constLast() == peer;
    const RecentList::Change change = udpList.touch(peer);
    if (!newest)
        addressesChanged();
    return change;
}

void AssistShared::clearUdpPeers()
{
    udpList.clear();
    addressesChanged();
}

bool AssistShared::flushAddresses()
{
    if (!addressSave.isActive())
        return true;
    addressSave.stop();
    errorText.clear();
    AssistHistoryFile::Contents contents;
    contents.port = lastPort;
    contents.clients = clientList.entries();
    contents.udpPeers = udpList.entries();
    if (!prepareFile() || !AssistHistoryFile(AssistPrefsFile::path()).save(contents)) {
        if (errorText.isEmpty())
            errorText = tr("Cannot save the assistant history in %1.").arg(AssistPrefsFile::path());
        unsaved = true;
        return false;
    }
    return true;
}
