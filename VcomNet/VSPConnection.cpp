#include "VSPConnection.h"

#include "VSPortFunction.h"
#include "appdir.h"

#include <QSettings>

int connectionTypeFromWord(const QString& word)
{
    const QString upper = word.toUpper();
    if (upper == QLatin1String("PAIR"))
        return CONNECTION_PAIR;
    if (upper == QLatin1String("SERVER"))
        return CONNECTION_SERVER;
    if (upper == QLatin1String("CLIENT"))
        return CONNECTION_CLIENT;
    if (upper == QLatin1String("UDP"))
        return CONNECTION_UDP;
    return -1;
}

namespace ConnectionFile {

QString directory()
{
    return dataFilePath(QStringLiteral("service/connection/"));
}

QString fileName(const VSP_CONNECTION_PARAMS& params)
{
    const QString second = params.type.toUpper() == QLatin1String("PAIR") ? params.com_name2 : params.type;
    return QStringLiteral("%1_%2.ini").arg(params.com_name1, second);
}

bool write(const QString& path, const VSP_CONNECTION_PARAMS& params)
{
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("connect/id"), params.id);
    ini.setValue(QStringLiteral("connect/type"), params.type);
    ini.setValue(QStringLiteral("connect/com_name1"), params.com_name1);
    ini.setValue(QStringLiteral("connect/com_name2"), params.com_name2);
    ini.setValue(QStringLiteral("server/port"), params.server_port);
    ini.setValue(QStringLiteral("client/ip_addr"), params.client_ip_addr);
    ini.setValue(QStringLiteral("client/port"), params.client_port);
    ini.setValue(QStringLiteral("udp/local_port"), params.udp_local_port);
    ini.setValue(QStringLiteral("udp/remote_addr"), params.udp_remote_addr);
    ini.setValue(QStringLiteral("udp/remote_port"), params.udp_remote_port);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

VSP_CONNECTION_PARAMS read(const QString& path)
{
    QSettings ini(path, QSettings::IniFormat);
    VSP_CONNECTION_PARAMS p;
    p.id = ini.value(QStringLiteral("connect/id")).toString();
    p.type = ini.value(QStringLiteral("connect/type")).toString();
    p.com_name1 = ini.value(QStringLiteral("connect/com_name1")).toString();
    p.com_name2 = ini.value(QStringLiteral("connect/com_name2")).toString();
    p.server_port = ini.value(QStringLiteral("server/port")).toString();
    p.client_ip_addr = ini.value(QStringLiteral("client/ip_addr")).toString();
    p.client_port = ini.value(QStringLiteral("client/port")).toString();
    p.udp_local_port = ini.value(QStringLiteral("udp/local_port")).toString();
    p.udp_remote_addr = ini.value(QStringLiteral("udp/remote_addr")).toString();
    p.udp_remote_port = ini.value(QStringLiteral("udp/remote_port")).toString();
    if (p.type.toUpper() == QLatin1String("PAIR"))
        p.name = QStringLiteral("%1 - %2").arg(p.com_name1, p.com_name2);
    else
        p.name = QStringLiteral("%1 %2").arg(p.type, p.com_name1);
    return p;
}

bool namesValid(int type, const VSP_CONNECTION_PARAMS& params)
{
    if (!comNameNumber(params.com_name1, 256))
        return false;
    if (type == CONNECTION_PAIR)
        return comNameNumber(params.com_name2, 256) && params.com_name1 != params.com_name2;
    return params.com_name2 == PairedComName(params.com_name1);
}

} // namespace ConnectionFile
