#include "AssistInput.h"

#include <QStringList>

namespace {

// A decimal number of at most `maxDigits` digits, no sign, no blanks.
bool parseDecimal(const QString& text, int maxDigits, qint64* value)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    qint64 v = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    *value = v;
    return true;
}

bool parseRange(const QString& text, qint64 low, qint64 high, int* out)
{
    qint64 v = 0;
    if (!parseDecimal(text, 10, &v) || v < low || v > high)
        return false;
    if (out)
        *out = static_cast<int>(v);
    return true;
}

} // namespace

namespace AssistInput {

bool parsePort(const QString& text, int* port)
{
    return parseRange(text, minPort, maxPort, port);
}

bool parseInterval(const QString& text, int* ms)
{
    return parseRange(text, minIntervalMs, maxIntervalMs, ms);
}

bool parseHostPort(const QString& text, QString* host, int* port)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2 || parts.at(0).isEmpty() || !parsePort(parts.at(1), port))
        return false;
    if (host)
        *host = parts.at(0);
    return true;
}

} // namespace AssistInput

HostPortValidator::HostPortValidator(QObject* parent)
    : QValidator(parent)
{
}

QValidator::State HostPortValidator::validate(QString& input, int&) const
{
    if (AssistInput::parseHostPort(input))
        return Acceptable;
    const QStringList parts = input.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return Invalid;
    if (parts.size() == 2 && !parts.at(1).isEmpty()) {
        qint64 v = 0;
        // Digits only, and never more than the largest port.
        bool digits = true;
        for (const QChar c : parts.at(1))
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digits || parts.at(1).size() > 5)
            return Invalid;
        v = parts.at(1).toLongLong();
        if (v > AssistInput::maxPort)
            return Invalid;
    }
    return Intermediate;
}
