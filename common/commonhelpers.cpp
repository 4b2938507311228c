#include "commonhelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTreeWidgetItem>

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

QString bytesToHex(const QByteArray& data, QChar sep)
{
    QString out;
    out.reserve(data.size() * 3);
    for (const char c : data) {
        const auto b = static_cast<unsigned char>(c);
        out += QLatin1Char(hexDigits[b >> 4]);
        out += QLatin1Char(hexDigits[b & 0x0f]);
        out += sep;
    }
    return out;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One piece of hex text: stray characters skipped, digits paired from the end.
void appendHexPiece(const QString& piece, QByteArray& out)
{
    QByteArray digits;
    const QByteArray utf8 = piece.toUtf8();
    for (const char c : utf8) {
        const int v = hexValue(c);
        if (v >= 0)
            digits.append(static_cast<char>(v));
    }
    int i = 0;
    if (digits.size() % 2 == 1)
        out.append(digits.at(i++));
    for (; i + 1 < digits.size(); i += 2)
        out.append(static_cast<char>((digits.at(i) << 4) | digits.at(i + 1)));
}

bool pathPresent(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink(); // a dangling link is still an entry
}

} // namespace

QString text2HexString(const QString& text, QChar sep)
{
    return bytesToHex(text.toLocal8Bit(), sep);
}

QByteArray HexString2ByteArray(const QString& hex, QChar sep)
{
    QByteArray out;
    const QStringList pieces = hex.split(sep, Qt::KeepEmptyParts, Qt::CaseSensitive);
    for (const QString& piece : pieces)
        appendHexPiece(piece, out);
    return out;
}

QString HexString2text(const QString& hex, QChar sep)
{
    QByteArray bytes = HexString2ByteArray(hex, sep);
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromLocal8Bit(bytes);
}

QString ByteArrayToHexString(const QByteArray& data, QChar sep)
{
    Q_UNUSED(sep)
    return bytesToHex(data, QLatin1Char(' '));
}

QString ByteArray2HexString(const QByteArray& data)
{
    return bytesToHex(data, QLatin1Char(' '));
}

QString str2HexArray(const QByteArray& data)
{
    return bytesToHex(data, QLatin1Char(' '));
}

bool string2array_mac(const QString& mac, unsigned char* out)
{
    const QStringList pieces = mac.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (pieces.size() != 6 || !out)
        return false;
    for (int i = 0; i < 6; ++i)
        out[i] = static_cast<unsigned char>(pieces.at(i).toLongLong(nullptr, 16) & 0xff);
    return true;
}

void string2array_ip(const QString& ip, unsigned char* out)
{
    const QStringList pieces = ip.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (pieces.size() != 4 || !out)
        return;
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(pieces.at(i).toLongLong(nullptr, 10) & 0xff);
}

bool DeleteFileOrFolder(const QString& path)
{
    if (path.isEmpty() || !pathPresent(path))
        return false;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path); // files, links and anything else that is not a directory
    return !pathPresent(path);
}

void RemoveTreeWidgetItem(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int count = item->childCount();
    for (int i = 0; i < count; ++i)
        RemoveTreeWidgetItem(item->child(0));
    delete item;
}
