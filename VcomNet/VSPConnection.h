#pragma once

#include <QString>

enum VSP_CONNECTION_TYPE {
    CONNECTION_PAIR = 0,
    CONNECTION_SERVER = 1,
    CONNECTION_CLIENT = 2,
    CONNECTION_UDP = 3,
};

// The eleven text parameters of one VCOM connection.
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
};

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
} // namespace ConnectionFile
