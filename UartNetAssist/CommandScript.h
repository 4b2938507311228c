#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QString>
#include <QVector>

// A saved command's script: one step per line, '#' starts a comment. Parsing turns the
// text into steps or into an error with its line number, so a faulty script is refused
// when it is saved rather than half-way through a run.
class CommandScript
{
    Q_DECLARE_TR_FUNCTIONS(CommandScript)
public:
    enum Kind {
        Send,       // through the panel's send path (checksum and addition apply)
        SendRaw,    // the bytes as they are
        Wait,       // pause for ms
        Expect,     // received data contain bytes, within ms
        ExpectRe,   // received data (as text) match pattern, within ms
        Repeat,     // count times (forever: count 0) up to the matching End
        End,
        Log,
        OnFail      // continueOnFail from here on
    };

    struct Step
    {
        Kind kind = Log;
        int line = 0;     // 1-based line of the script
        QByteArray bytes; // Send, SendRaw, Expect
        bool hex = false; // the bytes were written in hex (for the run log)
        QString text;     // Log; ExpectRe's pattern
        QRegularExpression pattern;
        int ms = 0;       // Wait, Expect, ExpectRe
        int count = 0;    // Repeat: 0 is forever
        int partner = -1; // Repeat: index of its End; End: index of its Repeat
        bool continueOnFail = false;
    };

    // Limits of the numbers a script may hold.
    static constexpr int defaultTimeoutMs = 1000;
    static constexpr int maxMs = 24 * 3600 * 1000;
    static constexpr int maxRepeat = 1000000000;

    // Parses text; false with the failing line (1-based) and the reason.
    bool parse(const QString& text);
    const QVector<Step>& steps() const { return stepList; }
    int errorLine() const { return failLine; }
    QString errorText() const { return failText; }
    // "line 7: ..." for the user.
    QString errorMessage() const;

    // TEXT with the escapes \r \n \t \\ \xNN as bytes; false with a reason on a bad escape.
    static bool unescape(const QString& text, QByteArray* out, QString* error);
    // Hex bytes as the send box's hex mode takes them ("01 03 00 0A", "01030A");
    // false with a reason on anything that is not a whole byte.
    static bool parseHex(const QString& text, QByteArray* out, QString* error);
    // Bytes for the run log: quoted text with escapes, or hex when they are not text.
    static QString describe(const QByteArray& bytes, bool hex);

private:
    bool parseLine(const QString& line, int number);
    bool fail(int line, const QString& reason);

    QVector<Step> stepList;
    QVector<int> openRepeats;
    int failLine = 0;
    QString failText;
};
