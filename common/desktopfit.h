#pragma once

#include <QColor>
#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QHeaderView;
class QPalette;
class QRect;
class QWidget;

// Helpers that keep the tools usable on any desktop: fixed colours paired with a
// readable text colour, status colours that suit light and dark palettes, and sizes
// taken from the font rather than from numbers.
namespace desktopfit {

// WCAG contrast ratio of two colours, from 1 (same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);
// Black or white, whichever reads better on background (black on every light colour).
QColor textColourOn(const QColor& background);
// True when the palette's window colour is dark.
bool isDark(const QPalette& palette);
// A status text colour (a green for success, a red for failure) as given on a light
// palette; on a dark one lightened until it reads on the palette's window and base.
QColor statusColour(const QColor& onLight, const QPalette& palette);
// The widget's palette with its window and button texts in the given colour, so that
// a text coloured this way follows the rest of the palette.
void setTextColour(QWidget* widget, const QColor& colour);

// A style sheet rule "color: ..." for a colour, to go beside a fixed background.
QString colourRule(const char* property, const QColor& colour);

// Widens each section of a header that its text would not fit; never narrows it.
void fitHeaderToText(QHeaderView* header);

// The platform's keys for a standard action, or fallback where the platform has none
// (Quit has none in some key schemes).
QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, const QKeySequence& fallback);

// Shows the action's shortcuts in its tool tip ("Open (Ctrl+O)"), also after its text
// changes; extra keys that reach it some other way are listed after its own.
void showShortcutsInToolTip(QAction* action, const QList<QKeySequence>& extra = {});

} // namespace desktopfit
