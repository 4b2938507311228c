#include "RecvFind.h"

#include <QRegularExpression>

#include <algorithm>

namespace RecvFind {

namespace {

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

} // namespace

QString needle(const QString& typed, bool hexView)
{
    if (!hexView)
        return typed;
    // Pieces split at anything that is not a hex digit (an "x" of "0x" included); each
    // piece pairs its digits from the left, an odd last digit stands alone as 0N.
    QString hex = typed;
    hex.replace(QRegularExpression(QStringLiteral("0[xX]")), QStringLiteral(" "));
    QStringList bytes;
    QString piece;
    const auto flush = [&]() {
        for (int i = 0; i < piece.size(); i += 2) {
            const QString b = piece.mid(i, 2);
            bytes << (b.size() == 1 ? QStringLiteral("0") + b : b).toLower();
        }
        piece.clear();
    };
    for (const QChar c : hex) {
        if (isHexDigit(c))
            piece += c;
        else
            flush();
    }
    flush();
    return bytes.join(QLatin1Char(' '));
}

namespace {

// Matches of needle in text[begin, end); in a hex view only whole bytes (a space or the
// span's edge on both sides).
void findIn(const QString& text, int begin, int end, const QString& needle, bool caseSensitive, bool hexView,
            QVector<int>& matches)
{
    const Qt::CaseSensitivity cs = (caseSensitive && !hexView) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QStringRef span = text.midRef(begin, end - begin);
    int at = 0;
    while ((at = span.indexOf(needle, at, cs)) >= 0) {
        const int stop = at + needle.size();
        if (hexView && ((at > 0 && span.at(at - 1) != QLatin1Char(' '))
                        || (stop < span.size() && span.at(stop) != QLatin1Char(' ')))) {
            ++at;
            continue;
        }
        matches.append(begin + at);
        at = stop;
    }
}

} // namespace

QVector<int> findInLine(const QString& line, const QString& needle, bool caseSensitive, bool hexView)
{
    QVector<int> matches;
    if (needle.isEmpty())
        return matches;
    if (!hexView) {
        findIn(line, 0, line.size(), needle, caseSensitive, false, matches);
        return matches;
    }
    int begin = 0;
    while (begin < line.size() && line.at(begin) == QLatin1Char('[')) {
        const int close = line.indexOf(QLatin1Char(']'), begin);
        if (close < 0)
            return matches;
        begin = close + 1;
        if (begin < line.size() && line.at(begin) == QLatin1Char(':'))
            ++begin; // "[Receive from ...]:"
    }
    while (begin < line.size() && line.at(begin) == QLatin1Char(' '))
        ++begin;
    int end = line.indexOf(QLatin1String("  "), begin);
    if (end < 0)
        end = line.size();
    findIn(line, begin, end, needle, caseSensitive, true, matches);
    return matches;
}

QVector<int> findAll(const QString& text, const QString& needle, bool caseSensitive, bool hexView)
{
    QVector<int> matches;
    if (needle.isEmpty())
        return matches;
    if (!hexView) {
        findIn(text, 0, text.size(), needle, caseSensitive, false, matches);
        return matches;
    }
    for (int from = 0; from <= text.size();) {
        int nl = text.indexOf(QLatin1Char('\n'), from);
        if (nl < 0)
            nl = text.size();
        for (const int at : findInLine(text.mid(from, nl - from), needle, caseSensitive, true))
            matches.append(from + at);
        from = nl + 1;
    }
    return matches;
}

int firstFrom(const QVector<int>& matches, int from)
{
    if (matches.isEmpty())
        return -1;
    const auto it = std::lower_bound(matches.begin(), matches.end(), from);
    return it == matches.end() ? 0 : static_cast<int>(it - matches.begin());
}

int step(int current, int count, bool forward)
{
    if (count <= 0)
        return -1;
    if (current < 0 || current >= count)
        return forward ? 0 : count - 1;
    return forward ? (current + 1) % count : (current + count - 1) % count;
}

} // namespace RecvFind
