#pragma once

#include "RecentList.h"
#include "SendHistory.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QSettings;

// Receive view preferences shared by every assistant panel.
struct AssistViewPrefs
{
    static constexpr int defaultScrollback = 50;
    static constexpr int minScrollback = 50;
    static constexpr int maxScrollback = 100000;
    // Characters kept per line of scrollback: the character bound grows with the lines,
    // never below the default view's 32768 characters.
    static constexpr int charsPerLine = 128;
    static constexpr int minChars = 32768;

    bool msStamps = false;
    bool showEscapes = false;
    bool hexTextColumn = false;
    int scrollback = defaultScrollback;

    int maxChars() const { return qMax(minChars, scrollback * charsPerLine); }
    bool operator==(const AssistViewPrefs& o) const
    {
        return msStamps == o.msStamps && showEscapes == o.showEscapes && hexTextColumn == o.hexTextColumn
            && scrollback == o.scrollback;
    }
    bool operator!=(const AssistViewPrefs& o) const { return !(*this == o); }
};

// Reader/writer of the preference keys of config/assist.ini: the group [view]
// ("ms_stamps", "show_escapes", "hex_text_column" as "true"/"false", "scrollback"), the
// key "send/checksum" and the group [send_history]. Values out of range read as defaults.
namespace AssistPrefsFile {

QString path();
AssistViewPrefs readView(QSettings& settings);
void writeView(QSettings& settings, const AssistViewPrefs& prefs);
int readChecksum(QSettings& settings);
void writeChecksum(QSettings& settings, int index);

} // namespace AssistPrefsFile

// What all panels of the program share: the view preferences, the checksum choice, the
// send history and the address histories. Read from the file when a panel is created;
// every change is written at once (address changes after a moment, gathered) and
// announced so that every open panel follows.
class AssistShared : public QObject
{
    Q_OBJECT
public:
    static AssistShared& instance();

    // Reads the file again (keeps the values when a change could not be written).
    void reload();

    const AssistViewPrefs& view() const { return viewPrefs; }
    int checksum() const { return checksumIndex; }
    const SendHistory& history() const { return sendHistory; }

    // Each returns false with errorText set when the file could not be written.
    bool setView(const AssistViewPrefs& prefs);
    bool setChecksum(int index);
    bool addToHistory(const QString& payload);

    // The address histories, newest first: the last listening port (0: none yet), the TCP
    // client remotes that connected and the UDP peers heard from.
    int listenPort() const { return lastPort; }
    QStringList clients() const { return newestFirst(clientList); }
    QStringList udpPeers() const { return newestFirst(udpList); }
    void setListenPort(int port);
    void touchClient(const QString& remote);
    RecentList::Change touchUdpPeer(const QString& peer);
    void clearUdpPeers();
    // Writes address changes still gathered; false with errorText when the file refused them.
    bool flushAddresses();

    QString errorText;

signals:
    void viewChanged();
    void checksumChanged(int index);
    // payload went to the front; it was at previousIndex before (-1: new, the oldest may be gone).
    void historyAdded(const QString& payload, int previousIndex);
    void historyReloaded();

private:
    AssistShared();
    bool prepareFile();
    bool save(const std::function<void(QSettings&)>& write);
    void addressesChanged();
    static QStringList newestFirst(const RecentList& list);

    AssistViewPrefs viewPrefs;
    int checksumIndex = 0;
    SendHistory sendHistory;
    bool unsaved = false; // a change the file refused: memory holds the newer values
    int lastPort = 0;
    RecentList clientList;
    RecentList udpList;
    // A flood of datagrams from new senders would otherwise rewrite the file for each one.
    QTimer addressSave;
};
