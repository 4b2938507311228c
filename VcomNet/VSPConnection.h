#pragma once

#include <QString>
#include <QStringList>

enum VSP_CONNECTION_TYPE {
    CONNECTION_PAIR = 0,
    CONNECTION_SERVER = 1,
    CONNECTION_CLIENT = 2,
    CONNECTION_UDP = 3,
};

// The text parameters of one VCOM connection.
struct VSP_CONNECTION_PARAMS
{
    QString id;
    QString type;
    QString name;
    QString com_name1 = QStringLiteral("-");
    QString com_name2 = QStringLiteral("-");
    QString server_port;
    QString client_ip_addr;
    QString client_port;
    QString udp_local_port;
    QString udp_remote_addr;
    QString udp_remote_port;
    // Quiet time in ms that ends a packet read from the port (0..1000; 0 = each read at once).
    QString pack_ms = QStringLiteral("50");
    // TCP client only: Telnet COM port control towards the server ("true"/"false"), and
    // the data size ("5".."8") and parity ("none", "odd", "even", "mark", "space") to
    // set there; "keep" leaves the server's own setting alone.
    QString client_rfc2217 = QStringLiteral("false");
    QString client_rfc2217_data = QStringLiteral("keep");
    QString client_rfc2217_parity = QStringLiteral("keep");
};

// Checked readings of the text parameters; anything out of range gives the default.
namespace ConnectionParams {
constexpr int defaultPackMs = 50;
constexpr int maxPackMs = 1000;
int packMs(const QString& text);           // 0..maxPackMs, else defaultPackMs
bool packMsValid(const QString& text);     // a whole number 0..maxPackMs
bool rfc2217(const QString& text);         // "true" only
int rfc2217DataSize(const QString& text);  // 5..8, 0 = keep
int rfc2217Parity(const QString& text);    // COM port option code 1..5, 0 = keep
// The words saved for a parity code (index = code, 0 = "keep").
QStringList parityWords();
} // namespace ConnectionParams

// Port number of a text that is exactly a decimal number from 1 to 65535, else 0.
int portFromText(const QString& text);
// Whether text can name a peer: an IP address or a host name (letters, digits, '-', '.').
bool hostTextValid(const QString& text);

// Type value of a saved type word, compared without case; -1 for an unknown word.
int connectionTypeFromWord(const QString& word);

// Saved connection files "<dir>/%1_%2.ini": the one reader and writer of their keys.
namespace ConnectionFile {
QString directory(); // dataFilePath("service/connection/")
QString fileName(const VSP_CONNECTION_PARAMS& params);
bool write(const QString& path, const VSP_CONNECTION_PARAMS& params);
// Reads the stored keys into a default record; the name is rebuilt from them.
VSP_CONNECTION_PARAMS read(const QString& path);
// Whether the port names fit the connection kind: user side ttyS1..ttyS256, partner
// N + 256 for network kinds, a different ttyS1..ttyS256 for COM - COM.
bool namesValid(int type, const VSP_CONNECTION_PARAMS& params);
// Why the network values the kind uses (ports, remote address) are unusable; empty when
// they are fine. Used on the creation forms and on every file loaded.
QString valuesProblem(int type, const VSP_CONNECTION_PARAMS& params);
} // namespace ConnectionFile
