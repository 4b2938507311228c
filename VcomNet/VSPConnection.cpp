#include "VSPConnection.h"

#include "VSPortFunction.h"
#include "appdir.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSettings>

int portFromText(const QString& text)
{
    static const QRegularExpression digits(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,5}")));
    if (!digits.match(text).hasMatch())
        return 0;
    const int port = text.toInt();
    return port >= 1 && port <= 65535 ? port : 0;
}

bool hostTextValid(const QString& text)
{
    if (!QHostAddress(text).isNull())
        return true;
    static const QRegularExpression name(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Za-z0-9]([A-Za-z0-9-]{0,62})(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,62}))*\\.?")));
    return text.size() <= 253 && name.match(text).hasMatch();
}

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

namespace ConnectionParams {

bool packMsValid(const QString& text)
{
    bool ok = false;
    const int ms = text.trimmed().toInt(&ok);
    return ok && ms >= 0 && ms <= maxPackMs;
}

int packMs(const QString& text)
{
    return packMsValid(text) ? text.trimmed().toInt() : defaultPackMs;
}

bool rfc2217(const QString& text)
{
    return text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

int rfc2217DataSize(const QString& text)
{
    bool ok = false;
    const int bits = text.trimmed().toInt(&ok);
    return ok && bits >= 5 && bits <= 8 ? bits : 0;
}

QStringList parityWords()
{
    return {QStringLiteral("keep"), QStringLiteral("none"), QStringLiteral("odd"),
            QStringLiteral("even"), QStringLiteral("mark"), QStringLiteral("space")};
}

int rfc2217Parity(const QString& text)
{
    const int code = parityWords().indexOf(text.trimmed().toLower());
    return code > 0 ? code : 0;
}

} // namespace ConnectionParams

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
    ini.setValue(QStringLiteral("connect/pack_ms"), QString::number(ConnectionParams::packMs(params.pack_ms)));
    ini.setValue(QStringLiteral("client/rfc2217"),
                 ConnectionParams::rfc2217(params.client_rfc2217) ? QStringLiteral("true") : QStringLiteral("false"));
    const int data = ConnectionParams::rfc2217DataSize(params.client_rfc2217_data);
    ini.setValue(QStringLiteral("client/rfc2217_data"), data ? QString::number(data) : QStringLiteral("keep"));
    ini.setValue(QStringLiteral("client/rfc2217_parity"),
                 ConnectionParams::parityWords().at(ConnectionParams::rfc2217Parity(params.client_rfc2217_parity)));
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
    // Files from before these keys existed behave as they always did; a value out of
    // range is kept as it is, so that the file is refused with a reason like other keys.
    p.pack_ms = ini.value(QStringLiteral("connect/pack_ms"), ConnectionParams::defaultPackMs).toString().trimmed();
    p.client_rfc2217 = ConnectionParams::rfc2217(ini.value(QStringLiteral("client/rfc2217")).toString())
        ? QStringLiteral("true")
        : QStringLiteral("false");
    const int data = ConnectionParams::rfc2217DataSize(ini.value(QStringLiteral("client/rfc2217_data")).toString());
    p.client_rfc2217_data = data ? QString::number(data) : QStringLiteral("keep");
    p.client_rfc2217_parity = ConnectionParams::parityWords().at(
        ConnectionParams::rfc2217Parity(ini.value(QStringLiteral("client/rfc2217_parity")).toString()));
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

QString valuesProblem(int type, const VSP_CONNECTION_PARAMS& params)
{
    auto badPort = [](const QString& what, const QString& value) {
        return QCoreApplication::translate("ConnectionFile", "%1 \"%2\" is not a port number from 1 to 65535")
            .arg(what, value);
    };
    auto badHost = [](const QString& value) {
        return QCoreApplication::translate("ConnectionFile", "remote address \"%1\" is neither an IP address nor a host name")
            .arg(value);
    };
    if (type != CONNECTION_PAIR && !ConnectionParams::packMsValid(params.pack_ms))
        return QCoreApplication::translate("ConnectionFile",
                                           "packing interval \"%1\" is not a number of milliseconds from 0 to 1000")
            .arg(params.pack_ms);
    switch (type) {
    case CONNECTION_SERVER:
        if (!portFromText(params.server_port))
            return badPort(QCoreApplication::translate("ConnectionFile", "local TCP port"), params.server_port);
        break;
    case CONNECTION_CLIENT:
        if (!hostTextValid(params.client_ip_addr))
            return badHost(params.client_ip_addr);
        if (!portFromText(params.client_port))
            return badPort(QCoreApplication::translate("ConnectionFile", "remote port"), params.client_port);
        break;
    case CONNECTION_UDP:
        if (!portFromText(params.udp_local_port))
            return badPort(QCoreApplication::translate("ConnectionFile", "listen port"), params.udp_local_port);
        if (!hostTextValid(params.udp_remote_addr))
            return badHost(params.udp_remote_addr);
        if (!portFromText(params.udp_remote_port))
            return badPort(QCoreApplication::translate("ConnectionFile", "remote port"), params.udp_remote_port);
        break;
    default:
        break;
    }
    return QString();
}

} // namespace ConnectionFile
