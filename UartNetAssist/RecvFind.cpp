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

QVector<int> findAll(const QString& text, const QString& needle, bool caseSensitive, bool hexView)
{
    QVector<int> matches;
    if (needle.isEmpty())
        return matches;
    const Qt::CaseSensitivity cs = (caseSensitive && !hexView) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int at = 0;
    while ((at = text.indexOf(needle, at, cs)) >= 0) {
        const int end = at + needle.size();
        if (hexView && ((at > 0 && isHexDigit(text.at(at - 1))) || (end < text.size() && isHexDigit(text.at(end))))) {
            ++at;
            continue;
        }
        matches.append(at);
        at = end;
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
