#include "RecvViewFormat.h"

#include "commonhelpers.h"

#include <QTextCodec>

#include <cstring>

namespace RecvViewFormat {

namespace {

constexpr int kRowBytes = 16;
constexpr int kHexWidth = 3 * kRowBytes;

// memchr: QByteArray::indexOf walks byte by byte, which shows on a flood.
int lengthUpToZero(const QByteArray& bytes)
{
    const void* zero = std::memchr(bytes.constData(), 0, static_cast<size_t>(bytes.size()));
    return zero ? static_cast<int>(static_cast<const char*>(zero) - bytes.constData()) : bytes.size();
}

bool localIsUtf8()
{
    static const bool utf8 = QTextCodec::codecForLocale() && QTextCodec::codecForLocale()->mibEnum() == 106;
    return utf8;
}

// First index at or after `start` (and before `end`) where a UTF-8 character may begin:
// at most three continuation bytes are skipped, as the decoder treats a longer run as
// broken bytes each of its own.
int utf8Boundary(const QByteArray& bytes, int start, int end)
{
    for (int i = 0; i < 3 && start < end && (static_cast<uchar>(bytes.at(start)) & 0xc0) == 0x80; ++i)
        ++start;
    return start;
}

// As QString::fromLocal8Bit, but a byte-order mark stays a character: the stateless
// decoder drops one at the start of every run it is given, and runs start anywhere here.
QString decodeLocal(const char* d, int n)
{
    QString marks;
    if (localIsUtf8()) {
        while (n >= 3 && std::memcmp(d, "\xef\xbb\xbf", 3) == 0) {
            marks += QChar(0xfeff);
            d += 3;
            n -= 3;
        }
    }
    return marks.isEmpty() ? QString::fromLocal8Bit(d, n) : marks + QString::fromLocal8Bit(d, n);
}

bool isControl(uchar c)
{
    return c < 0x20 || c == 0x7f;
}

const char kHexDigits[] = "0123456789abcdef";

} // namespace

QString hexRowsUpTo(const QByteArray& data, int from, int to, const QString& firstPrefix, const QString& indent);

QString stamp(const QDateTime& time, bool ms)
{
    return QLatin1Char('[')
        + time.toString(ms ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        + QLatin1Char(']');
}

int stampWidth(bool ms)
{
    return ms ? 25 : 21;
}

QString plainText(const QByteArray& data)
{
    return decodeLocal(data.constData(), lengthUpToZero(data));
}

QString escapedText(const QByteArray& data, int from)
{
    QString out;
    out.reserve(data.size() - from + 16);
    const char* d = data.constData();
    int run = from; // start of the bytes not yet decoded
    for (int i = from; i < data.size(); ++i) {
        const uchar c = static_cast<uchar>(d[i]);
        if (!isControl(c))
            continue;
        if (i > run)
            out += decodeLocal(d + run, i - run);
        run = i + 1;
        switch (c) {
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += QLatin1String("\\x");
            out += QLatin1Char(kHexDigits[c >> 4]);
            out += QLatin1Char(kHexDigits[c & 0xf]);
            break;
        }
    }
    if (data.size() > run)
        out += decodeLocal(d + run, data.size() - run);
    return out;
}

QString hexRows(const QByteArray& data, int from, const QString& firstPrefix, const QString& indent)
{
    return hexRowsUpTo(data, from, data.size(), firstPrefix, indent);
}

QString hexRowsUpTo(const QByteArray& data, int from, int to, const QString& firstPrefix, const QString& indent)
{
    QString out;
    const int rows = (to - from + kRowBytes - 1) / kRowBytes;
    out.reserve(rows * (indent.size() + kHexWidth + kRowBytes + 2) + firstPrefix.size());
    for (int row = from; row < to; row += kRowBytes) {
        out += row == from ? firstPrefix : indent;
        const int n = qMin(kRowBytes, to - row);
        for (int i = 0; i < n; ++i) {
            const uchar c = static_cast<uchar>(data.at(row + i));
            out += QLatin1Char(kHexDigits[c >> 4]);
            out += QLatin1Char(kHexDigits[c & 0xf]);
            out += QLatin1Char(' ');
        }
        out += QString(kHexWidth - 3 * n + 1, QLatin1Char(' '));
        for (int i = 0; i < n; ++i) {
            const uchar c = static_cast<uchar>(data.at(row + i));
            out += (c >= 0x20 && c < 0x7f) ? QLatin1Char(char(c)) : QLatin1Char('.');
        }
        out += QLatin1Char('\n');
    }
    return out;
}

QString format(const QByteArray& data, const Options& o, const QString& stampText, bool atLineStart)
{
    QString out;
    if (o.hex && o.hexTextColumn) {
        if (!atLineStart)
            out += QLatin1Char('\n');
        const QString prefix = o.stamps ? stampText : QString();
        if (data.isEmpty())
            return out + prefix + QLatin1Char('\n');
        return out + hexRows(data, 0, prefix, QString(prefix.size(), QLatin1Char(' ')));
    }
    if (o.stamps)
        out += stampText;
    if (o.hex)
        out += ByteArrayToHexString(data, QLatin1Char(' '));
    else if (o.escapes)
        out += escapedText(data);
    else
        out += plainText(data);
    if (o.lineFeed || o.stamps)
        out += QLatin1Char('\n');
    return out;
}

QString formatTail(const QByteArray& data, const Options& o, int tailBytes)
{
    QString out;
    if (tailBytes >= data.size())
        return out;
    if (o.hex && o.hexTextColumn) {
        // Rows keep their place relative to the chunk's start.
        const int from = ((data.size() - tailBytes) / kRowBytes) * kRowBytes;
        if (from == 0)
            return out; // the first row carries the stamp
        const QString indent(o.stamps ? stampWidth(o.msStamps) : 0, QLatin1Char(' '));
        return hexRows(data, from, indent, indent);
    }
    if (o.hex) {
        out = ByteArrayToHexString(data.right(tailBytes), QLatin1Char(' '));
    } else {
        if (!localIsUtf8())
            return QString();
        const int end = o.escapes ? data.size() : lengthUpToZero(data);
        const int start = utf8Boundary(data, qMax(0, end - tailBytes), end);
        if (o.escapes)
            out = escapedText(data, start);
        else
            out = decodeLocal(data.constData() + start, end - start);
    }
    if (o.lineFeed || o.stamps)
        out += QLatin1Char('\n');
    return out;
}

int pieceEnd(const QByteArray& data, int from, int maxBytes, const Options& o)
{
    const int size = data.size();
    if (maxBytes >= size - from)
        return size;
    int limit = from + maxBytes;
    if (o.hex) {
        if (o.hexTextColumn) // whole rows, counted from the chunk's start
            limit = qMax(from + kRowBytes, limit - limit % kRowBytes);
        return qMin(limit, size);
    }
    if (!localIsUtf8())
        return size;
    const char* d = data.constData();
    if (!o.escapes) {
        // The text ends at the first zero byte: a piece stops before it, and the rest of
        // the chunk after it is one (empty) piece.
        const void* zero = std::memchr(d + from, 0, static_cast<size_t>(limit - from));
        if (zero) {
            const int at = static_cast<int>(static_cast<const char*>(zero) - d);
            return at > from ? at : size;
        }
    }
    // After a byte below 0x80 the decoder is between characters, in the whole as in a piece;
    // never between CR and LF, which the view takes as one line break.
    for (int p = limit; p > from; --p) {
        if (static_cast<uchar>(d[p - 1]) < 0x80 && !(d[p - 1] == '\r' && p < size && d[p] == '\n'))
            return p;
    }
    return size;
}

QString formatPiece(const QByteArray& data, int from, int to, const Options& o, const QString& stampText,
                    bool atLineStart)
{
    const bool first = from == 0;
    const bool last = to == data.size();
    if (first && last)
        return format(data, o, stampText, atLineStart);
    QString out;
    if (o.hex && o.hexTextColumn) {
        const QString indent(o.stamps ? stampText.size() : 0, QLatin1Char(' '));
        if (first && !atLineStart)
            out += QLatin1Char('\n');
        return out + hexRowsUpTo(data, from, to, first && o.stamps ? stampText : indent, indent);
    }
    if (first && o.stamps)
        out += stampText;
    const QByteArray piece = data.mid(from, to - from);
    if (o.hex)
        out += ByteArrayToHexString(piece, QLatin1Char(' '));
    else if (o.escapes)
        out += escapedText(piece);
    else
        out += plainText(piece);
    if (last && (o.lineFeed || o.stamps))
        out += QLatin1Char('\n');
    return out;
}

void foldLongLines(QString& text, int& column, int width)
{
    const auto isBreak = [](ushort u) { return u == '\n' || u == '\r' || u == 0x2029 || u == 0xfdd0 || u == 0xfdd1; };
    // Most text has no line that long: nothing is copied then.
    int c = column;
    int first = -1;
    for (int i = 0; i < text.size(); ++i) {
        c = isBreak(text.at(i).unicode()) ? 0 : c + 1;
        if (c > width) {
            first = i;
            break;
        }
    }
    if (first < 0) {
        column = c;
        return;
    }
    QString out;
    out.reserve(text.size() + text.size() / width + 1);
    out.append(text.constData(), first);
    c = width;
    for (int i = first; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (isBreak(ch.unicode())) {
            c = 0;
        } else if (c >= width && !ch.isLowSurrogate()) { // a character is never split
            out += QLatin1Char('\n');
            c = 1;
        } else {
            ++c;
        }
        out += ch;
    }
    text = out;
    column = c;
}

int endColumn(const QByteArray& data, int from, const Options& o, int column, int width)
{
    const auto advance = [width](int c, qint64 len) {
        const qint64 total = c + len;
        return total <= width ? int(total) : int((total - width - 1) % width) + 1;
    };
    if ((o.hex && o.hexTextColumn) || o.lineFeed || o.stamps)
        return 0; // the chunk ends with a line break
    if (o.hex)
        return advance(column, 3LL * (data.size() - from));
    const QByteArray rest = QByteArray::fromRawData(data.constData() + from, data.size() - from);
    const int end = o.escapes ? rest.size() : lengthUpToZero(rest);
    int last = end - 1;
    while (last >= 0 && rest.at(last) != '\n' && (o.escapes || rest.at(last) != '\r'))
        --last;
    const QByteArray tail = rest.mid(last + 1, end - last - 1);
    const int len = o.escapes ? escapedText(tail).size() : plainText(tail).size();
    return advance(last >= 0 ? 0 : column, len);
}

void lowerBounds(const QByteArray& data, const Options& o, qint64& chars, qint64& breaks)
{
    const qint64 n = data.size();
    const int stampChars = o.stamps ? stampWidth(o.msStamps) : 0;
    const int feed = (o.lineFeed || o.stamps) ? 1 : 0;
    if (o.hex && o.hexTextColumn) {
        const qint64 rows = (n + kRowBytes - 1) / kRowBytes;
        chars = rows > 0 ? rows * (kHexWidth + 3) : 1;
        breaks = qMax<qint64>(rows, 1);
        return;
    }
    if (o.hex) {
        chars = 3 * n + stampChars + feed;
        breaks = feed;
        return;
    }
    // Text: at least one character for four bytes (CR LF gives one), and at least one
    // break for each line feed up to where the text ends.
    const qint64 textBytes = o.escapes ? n : lengthUpToZero(data);
    chars = textBytes / 4 + stampChars + feed;
    breaks = feed;
    const char* d = data.constData();
    const char* end = d + textBytes;
    for (const char* p = d; (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))); ++p)
        ++breaks;
}

} // namespace RecvViewFormat
