#include "AssistConfigString.h"

namespace {

const QChar kFieldSep = QLatin1Char(',');
const QChar kSubSep = QLatin1Char('_');
const QChar kEscape = QLatin1Char('%');

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

void AssistConfigString::setField(int index, const QString& value)
{
    if (index < 0 || index >= fieldCount)
        return;
    values[index] = QStringList{value};
    compound[index] = false;
}

void AssistConfigString::setSubFields(int index, const QStringList& subs)
{
    if (index < 0 || index >= fieldCount)
        return;
    values[index] = subs;
    compound[index] = true;
}

bool AssistConfigString::needsEscaping() const
{
    for (int i = 0; i < fieldCount; ++i) {
        for (const QString& v : values.at(i)) {
            // The send box may hold commas unescaped: a reader gives it every comma after
            // the sixth. A value that starts the line must not look like the escape mark.
            if (v.contains(kFieldSep) && i != sendBoxField)
                return true;
            if (compound.at(i) && v.contains(kSubSep))
                return true;
        }
    }
    return !values.at(0).isEmpty() && values.at(0).constFirst().startsWith(kEscape);
}

QString AssistConfigString::toString() const
{
    const bool esc = needsEscaping();
    QStringList fields;
    for (int i = 0; i < fieldCount; ++i) {
        QStringList parts = values.at(i);
        if (esc) {
            for (QString& p : parts)
                p = escape(p);
        }
        fields << parts.join(kSubSep);
    }
    const QString line = fields.join(kFieldSep);
    return esc ? kEscape + line : line;
}

bool AssistConfigString::parse(const QString& line)
{
    escaped = line.startsWith(kEscape);
    QStringList parts = (escaped ? line.mid(1) : line).split(kFieldSep, Qt::KeepEmptyParts);
    if (parts.size() > fieldCount && !escaped) {
        const QString sendBox = parts.mid(sendBoxField).join(kFieldSep);
        parts = parts.mid(0, sendBoxField);
        parts << sendBox;
    }
    if (parts.size() != fieldCount) {
        rawFields.clear();
        return false;
    }
    rawFields = parts;
    return true;
}

QString AssistConfigString::field(int index) const
{
    if (index < 0 || index >= rawFields.size())
        return QString();
    return escaped ? unescape(rawFields.at(index)) : rawFields.at(index);
}

QStringList AssistConfigString::subFields(int index) const
{
    if (index < 0 || index >= rawFields.size())
        return QStringList();
    QStringList subs = rawFields.at(index).split(kSubSep, Qt::KeepEmptyParts);
    if (escaped) {
        for (QString& s : subs)
            s = unescape(s);
    }
    return subs;
}

QString AssistConfigString::escape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == kEscape)
            out += QLatin1String("%25");
        else if (c == kFieldSep)
            out += QLatin1String("%2C");
        else if (c == kSubSep)
            out += QLatin1String("%5F");
        else
            out += c;
    }
    return out;
}

QString AssistConfigString::unescape(const QString& value)
{
    if (!value.contains(kEscape))
        return value;
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == kEscape && i + 2 < value.size() && hexValue(value.at(i + 1)) >= 0
            && hexValue(value.at(i + 2)) >= 0) {
            out += QChar(hexValue(value.at(i + 1)) * 16 + hexValue(value.at(i + 2)));
            i += 2;
        } else {
            // A stray "%" in a hand-made line stays as it is.
            out += c;
        }
    }
    return out;
}
