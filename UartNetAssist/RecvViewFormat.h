#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// How received chunks become text in the receive view (and in a .txt receive file).
// GUI-free so that every mode can be checked on bytes.
namespace RecvViewFormat {

struct Options
{
    bool stamps = false;        // "[yyyy-MM-dd hh:mm:ss]" in front of each chunk
    bool msStamps = false;      // ... with ".zzz"
    bool hex = false;           // hex bytes instead of text
    bool hexTextColumn = false; // hex mode: rows of 16 bytes with their printable characters
    bool escapes = false;       // text mode: control bytes shown as \r, \n, \t, \xNN
    bool lineFeed = false;      // a line feed after each chunk
};

QString stamp(const QDateTime& time, bool ms);
// Number of characters of a stamp.
int stampWidth(bool ms);

// Text decoded from the local 8-bit encoding up to (not including) the first zero byte.
QString plainText(const QByteArray& data);
// Text decoded from the local 8-bit encoding with CR, LF, TAB and the other control bytes
// (below 0x20, and 0x7F) written as \r, \n (followed by a real line break), \t and \xNN.
// Nothing cuts the text. `from` must be where a character starts.
QString escapedText(const QByteArray& data, int from = 0);
// Rows of up to 16 bytes from `from` (a multiple of 16): hex, padded to the width of a
// full row, a space, then the printable ASCII characters ("." for the others); each row
// ends with a line break. The first row starts with `firstPrefix`, the others with
// `indent`.
QString hexRows(const QByteArray& data, int from, const QString& firstPrefix, const QString& indent);

// One chunk as the view shows it. `stampText` is put in front when stamps are on;
// `atLineStart` tells whether the view's last line is empty (rows of the hex text column
// always start on a line of their own).
QString format(const QByteArray& data, const Options& options, const QString& stampText, bool atLineStart);

// Formatting a big chunk in pieces, one after another, gives exactly format(): the
// pieces end where pieceEnd() says (at most about maxBytes bytes from `from`, after a
// byte below 0x80 in text, at a whole row for the text column; the chunk's end when
// there is no such place), and formatPiece() puts the stamp (and the text column's
// leading break) with the first piece and the line feed with the last.
int pieceEnd(const QByteArray& data, int from, int maxBytes, const Options& options);
QString formatPiece(const QByteArray& data, int from, int to, const Options& options, const QString& stampText,
                    bool atLineStart);
// Breaks lines of more than `width` characters into lines of `width` (a line break
// inserted after each full line); `column` is the length of the line the text continues
// and is updated. Any of CR, LF and the paragraph separators ends a line.
void foldLongLines(QString& text, int& column, int width);

// The column foldLongLines() would end at after the text formatPiece() gives for
// data[from, end) continuing a line of `column` characters, without folding it: for a
// chunk that is dropped before it is shown.
int endColumn(const QByteArray& data, int from, const Options& options, int column, int width);

// At least how many characters and line breaks format() gives for data (with a stamp of
// the options' width), counted without formatting.
void lowerBounds(const QByteArray& data, const Options& options, qint64& chars, qint64& breaks);

// The end of format(data, ...) made from about the last `tailBytes` bytes only, for
// chunks too big to be shown whole; always a suffix of the full text. Null when the
// tail would be the whole chunk or the mode cannot cut a chunk exactly (a local
// encoding other than UTF-8).
QString formatTail(const QByteArray& data, const Options& options, int tailBytes);

} // namespace RecvViewFormat
