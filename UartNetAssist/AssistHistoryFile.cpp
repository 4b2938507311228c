#include "AssistHistoryFile.h"

#include "AssistInput.h"

#include <QMap>
#include <QSet>
#include <QSettings>

namespace {

// Entries numbered 1..count that the group really holds, in order, as number -> text.
QMap<int, QString> presentEntries(QSettings& s, const QString& group)
{
    QMap<int, QString> found;
    s.beginGroup(group);
    const QStringList keys = s.childKeys();
    for (const QString& key : keys) {
        bool ok = false;
        const int n = key.toInt(&ok);
        if (ok && n >= 1 && key == QString::number(n))
            found.insert(n, s.value(key).toString());
    }
    s.endGroup();
    return found;
}

QStringList readList(QSettings& s, const QString& group)
{
    bool ok = false;
    const int count = s.value(group + QStringLiteral("/remote_num")).toInt(&ok);
    if (!ok || count <= 0)
        return QStringList();
    const QMap<int, QString> found = presentEntries(s, group);
    // From the newest entry back, the first maxEntries distinct well-formed ones.
    QStringList newestFirst;
    QSet<QString> seen;
    auto it = found.upperBound(count);
    while (it != found.cbegin() && newestFirst.size() < AssistHistoryFile::maxEntries) {
        --it;
        if (AssistInput::parseHostPort(it.value()) && !seen.contains(it.value())) {
            seen.insert(it.value());
            newestFirst.append(it.value());
        }
    }
    return QStringList(newestFirst.crbegin(), newestFirst.crend());
}

void writeList(QSettings& s, const QString& group, const QStringList& list)
{
    const QMap<int, QString> old = presentEntries(s, group);
    for (auto it = old.cbegin(); it != old.cend(); ++it)
        s.remove(QStringLiteral("%1/%2").arg(group).arg(it.key()));
    const QStringList kept = list.mid(qMax(0, list.size() - AssistHistoryFile::maxEntries));
    s.setValue(group + QStringLiteral("/remote_num"), QString::number(kept.size()));
    for (int i = 0; i < kept.size(); ++i)
        s.setValue(QStringLiteral("%1/%2").arg(group).arg(i + 1), kept.at(i));
}

} // namespace

AssistHistoryFile::AssistHistoryFile(const QString& filePath)
    : path(filePath)
{
}

bool AssistHistoryFile::load(Contents* out) const
{
    // Read wherever it lies, also from a folder the user cannot write (an older version's
    // file beside an installed program).
    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError)
        return false;
    int port = 0;
    out->port = AssistInput::parsePort(s.value(QStringLiteral("port/1")).toString().trimmed(), &port) ? port : 0;
    out->clients = readList(s, QStringLiteral("client"));
    out->udpPeers = readList(s, QStringLiteral("udp"));
    return true;
}

bool AssistHistoryFile::save(const Contents& in) const
{
    QSettings s(path, QSettings::IniFormat);
    if (!s.isWritable())
        return false;
    if (in.port != 0)
        s.setValue(QStringLiteral("port/1"), QString::number(in.port));
    writeList(s, QStringLiteral("client"), in.clients);
    writeList(s, QStringLiteral("udp"), in.udpPeers);
    s.sync();
    return s.status() == QSettings::NoError;
}
