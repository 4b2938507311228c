#pragma once

#include <QString>
#include <QVector>

// Matching for the receive view's find bar, on the view's plain text.
namespace RecvFind {

// What to look for: the typed text, or for a hex view the typed hex bytes in the view's
// own spelling ("4142", "41 42" and "0x41,0x42" all give "41 42"). Empty when the typed
// hex holds no byte.
QString needle(const QString& typed, bool hexView);

// Start positions of every match of needle in text, in order, not overlapping. In a hex
// view matches begin and end on whole bytes (never "14 2" inside "41 42") and lie where
// a line shows received bytes (findInLine), never in stamps, headers or the text column.
QVector<int> findAll(const QString& text, const QString& needle, bool caseSensitive, bool hexView);

// The matches within one line of the view (offsets in the line). A hex line holds bytes
// after its leading "[...]" parts (stamp, sender header) and indent, up to the text
// column (two spaces) or its end.
QVector<int> findInLine(const QString& line, const QString& needle, bool caseSensitive, bool hexView);

// The match to show first: the first one starting at or after `from` (wrapping to the
// first match); -1 when there is none.
int firstFrom(const QVector<int>& matches, int from);

// The next (forward) or previous match after `current`, wrapping around; -1 without matches.
int step(int current, int count, bool forward);

} // namespace RecvFind
