#pragma once

#include <QString>
#include <QStringList>

// Reader and writer of the assistant's history file config/assist.ini, shared by all
// panels: "port/1" (last listening port), "client/remote_num" with "client/1".. (TCP
// client remotes) and "udp/remote_num" with "udp/1".. (UDP peers), oldest first.
// Counts in the file are never trusted: only entries really present are read, at most
// `maxEntries` of each list (the newest), and only well-formed ones.
class AssistHistoryFile
{
public:
    static constexpr int maxEntries = 100;

    struct Contents
    {
        int port = 0; // 0: absent or not a port
        QStringList clients;
        QStringList udpPeers;
    };

    explicit AssistHistoryFile(const QString& path);

    // False when the file cannot be read (nothing is read then).
    bool load(Contents* out) const;
    // Writes the lists (and the port unless 0) and removes the entries written before.
    bool save(const Contents& in) const;

private:
    QString path;
};
