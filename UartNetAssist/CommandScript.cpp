#include "CommandScript.h"

#include <QStringList>

namespace {

const QRegularExpression& spaces()
{
    static const QRegularExpression re(QStringLiteral("\\s+"));
    return re;
}

bool isKeyword(const QString& word)
{
    static const QStringList keywords = {
        QStringLiteral("send"),     QStringLiteral("sendhex"),   QStringLiteral("sendraw"),
        QStringLiteral("sendrawhex"), QStringLiteral("wait"),    QStringLiteral("expect"),
        QStringLiteral("expecthex"), QStringLiteral("expectre"), QStringLiteral("repeat"),
        QStringLiteral("end"),      QStringLiteral("log"),       QStringLiteral("onfail")};
    return keywords.contains(word);
}

// The line without its comment: '#' at the start or after a blank begins one.
QString withoutComment(const QString& line)
{
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('#') && (i == 0 || line.at(i - 1).isSpace()))
            return line.left(i);
    }
    return line;
}

bool parseNumber(const QString& text, int min, int max, int* out)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok || v < min || v > max || text.startsWith(QLatin1Char('+')))
        return false;
    *out = static_cast<int>(v);
    return true;
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

QString CommandScript::errorMessage() const
{
    return tr("line %1: %2").arg(failLine).arg(failText);
}

bool CommandScript::fail(int line, const QString& reason)
{
    failLine = line;
    failText = reason;
    stepList.clear();
    return false;
}

bool CommandScript::parse(const QString& text)
{
    stepList.clear();
    openRepeats.clear();
    failLine = 0;
    failText.clear();
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines) {
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    }
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();

    // A saved string needs no syntax: one line that starts with no keyword is sent as it is.
    int used = 0;
    int only = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines.at(i).trimmed().isEmpty()) {
            ++used;
            only = i;
        }
    }
    if (used == 1) {
        const QString line = lines.at(only);
        const QString first = line.trimmed().section(spaces(), 0, 0);
        if (!line.trimmed().startsWith(QLatin1Char('#')) && !isKeyword(first)) {
            Step step;
            step.kind = Send;
            step.line = only + 1;
            step.bytes = line.toLocal8Bit();
            stepList.append(step);
            return true;
        }
    }

    for (int i = 0; i < lines.size(); ++i) {
        if (!parseLine(lines.at(i), i + 1))
            return false;
    }
    if (!openRepeats.isEmpty())
        return fail(stepList.at(openRepeats.constLast()).line, tr("'repeat' without 'end'"));
    return true;
}

bool CommandScript::parseLine(const QString& raw, int number)
{
    const QString line = withoutComment(raw).trimmed();
    if (line.isEmpty())
        return true;
    const QString word = line.section(spaces(), 0, 0);
    const QString rest = line.mid(word.size()).trimmed();
    Step step;
    step.line = number;
    QString why;

    // TEXT [MS] of the expects: a last word of digits after others is the time-out.
    // In hex a word of two characters stays a byte.
    const auto splitTimeout = [&](bool hex, QString* body) {
        step.ms = defaultTimeoutMs;
        *body = rest;
        const int cut = rest.lastIndexOf(spaces());
        if (cut < 0)
            return true;
        const QString last = rest.mid(cut).trimmed();
        if (!allDigits(last) || (hex && last.size() == 2))
            return true;
        if (!parseNumber(last, 1, maxMs, &step.ms))
            return fail(number, tr("the time-out must be from 1 to %1 ms").arg(maxMs));
        *body = rest.left(cut).trimmed();
        return true;
    };

    if (word == QLatin1String("send") || word == QLatin1String("sendraw")) {
        step.kind = word == QLatin1String("send") ? Send : SendRaw;
        if (rest.isEmpty())
            return fail(number, tr("'%1' needs a text").arg(word));
        if (!unescape(rest, &step.bytes, &why))
            return fail(number, why);
    } else if (word == QLatin1String("sendhex") || word == QLatin1String("sendrawhex")) {
        step.kind = word == QLatin1String("sendhex") ? Send : SendRaw;
        step.hex = true;
        if (!parseHex(rest, &step.bytes, &why))
            return fail(number, why);
    } else if (word == QLatin1String("wait")) {
        step.kind = Wait;
        if (!parseNumber(rest, 0, maxMs, &step.ms))
            return fail(number, tr("'wait' needs a number of milliseconds from 0 to %1").arg(maxMs));
    } else if (word == QLatin1String("expect") || word == QLatin1String("expecthex")) {
        step.kind = Expect;
        step.hex = word == QLatin1String("expecthex");
        QString body;
        if (!splitTimeout(step.hex, &body))
            return false;
        if (body.isEmpty())
            return fail(number, tr("'%1' needs what to wait for").arg(word));
        const bool ok = step.hex ? parseHex(body, &step.bytes, &why) : unescape(body, &step.bytes, &why);
        if (!ok)
            return fail(number, why);
    } else if (word == QLatin1String("expectre")) {
        step.kind = ExpectRe;
        if (!splitTimeout(false, &step.text))
            return false;
        if (step.text.isEmpty())
            return fail(number, tr("'expectre' needs a regular expression"));
        step.pattern.setPattern(step.text);
        if (!step.pattern.isValid())
            return fail(number, tr("invalid regular expression: %1").arg(step.pattern.errorString()));
    } else if (word == QLatin1String("repeat")) {
        step.kind = Repeat;
        if (rest == QLatin1String("forever"))
            step.count = 0;
        else if (!parseNumber(rest, 1, maxRepeat, &step.count))
            return fail(number, tr("'repeat' needs a count from 1 to %1 or 'forever'").arg(maxRepeat));
        openRepeats.append(stepList.size());
    } else if (word == QLatin1String("end")) {
        step.kind = End;
        if (!rest.isEmpty())
            return fail(number, tr("'end' takes nothing after it"));
        if (openRepeats.isEmpty())
            return fail(number, tr("'end' without 'repeat'"));
        step.partner = openRepeats.takeLast();
        stepList[step.partner].partner = stepList.size();
    } else if (word == QLatin1String("log")) {
        step.kind = Log;
        step.text = rest;
    } else if (word == QLatin1String("onfail")) {
        step.kind = OnFail;
        if (rest == QLatin1String("continue"))
            step.continueOnFail = true;
        else if (rest != QLatin1String("stop"))
            return fail(number, tr("'onfail' takes 'continue' or 'stop'"));
    } else {
        return fail(number, tr("unknown command '%1'").arg(word));
    }
    stepList.append(step);
    return true;
}

bool CommandScript::unescape(const QString& text, QByteArray* out, QString* error)
{
    out->clear();
    QString plain;
    const auto flush = [&]() {
        out->append(plain.toLocal8Bit());
        plain.clear();
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            plain += c;
            continue;
        }
        if (i + 1 >= text.size()) {
            *error = tr("a '\\' at the end of the text");
            return false;
        }
        const QChar e = text.at(++i);
        if (e == QLatin1Char('r')) {
            plain += QLatin1Char('\r');
        } else if (e == QLatin1Char('n')) {
            plain += QLatin1Char('\n');
        } else if (e == QLatin1Char('t')) {
            plain += QLatin1Char('\t');
        } else if (e == QLatin1Char('\\')) {
            plain += QLatin1Char('\\');
        } else if (e == QLatin1Char('x')) {
            bool ok = false;
            const QString digits = text.mid(i + 1, 2);
            const uint v = digits.toUInt(&ok, 16);
            if (digits.size() != 2 || !ok || digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-'))) {
                *error = tr("'\\x' needs two hex digits");
                return false;
            }
            flush();
            out->append(static_cast<char>(v));
            i += 2;
        } else {
            *error = tr("unknown escape '\\%1'").arg(e);
            return false;
        }
    }
    flush();
    return true;
}

bool CommandScript::parseHex(const QString& text, QByteArray* out, QString* error)
{
    out->clear();
    const QStringList pieces = text.split(spaces(), Qt::SkipEmptyParts);
    for (const QString& piece : pieces) {
        QByteArray digits;
        for (const QChar c : piece) {
            const int v = QString(c).toInt(nullptr, 16);
            const bool isHex = (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
            if (!isHex) {
                *error = tr("'%1' is not hex").arg(piece);
                return false;
            }
            digits.append(static_cast<char>(v));
        }
        // Paired from the end, as the send box's hex mode does: "A" is 0A, "103" is 01 03.
        int i = 0;
        if (digits.size() % 2 == 1)
            out->append(digits.at(i++));
        for (; i + 1 < digits.size(); i += 2)
            out->append(static_cast<char>((digits.at(i) << 4) | digits.at(i + 1)));
    }
    if (out->isEmpty()) {
        *error = tr("no hex bytes");
        return false;
    }
    return true;
}

QString CommandScript::describe(const QByteArray& bytes, bool hex)
{
    bool text = !hex;
    for (int i = 0; text && i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        text = b >= 0x20 || b == '\r' || b == '\n' || b == '\t';
    }
    if (!text)
        return QString::fromLatin1(bytes.toHex(' ')).toUpper();
    QString s = QString::fromLocal8Bit(bytes);
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    s.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    s.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return QLatin1Char('"') + s + QLatin1Char('"');
}
