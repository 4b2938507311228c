#pragma once

#include <QTextCursor>
#include <QVector>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The receive view's find bar ("find_bar"): text, or hex bytes when the view shows hex;
// every match highlighted, Enter / Shift+Enter for next / previous, "3 of 17", Escape
// closes it. Matching itself is RecvFind's.
class RecvFindBar : public QWidget
{
    Q_OBJECT
public:
    // isHexView tells whether the view shows hex now.
    RecvFindBar(QPlainTextEdit* view, std::function<bool()> isHexView, QWidget* parent);

    // Shows the bar with the text field focused and searches at once.
    void open();
    void close();
    // Searches again (the text, the case option or the view changed) and shows the match
    // at or after the current one.
    void search();
    // Next or previous match, wrapping around.
    void step(bool forward);

    int matchCount() const { return total; }
    int currentIndex() const { return current; }

    // Matches highlighted at most; the count covers all of them.
    static constexpr int maxHighlights = 5000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void showCurrent();

    QPlainTextEdit* view;
    std::function<bool()> isHexView;
    QLineEdit* findText;
    QCheckBox* matchCase;
    QLabel* countLabel;
    QVector<QTextCursor> matches; // follow the document as lines arrive and scroll out
    int total = 0;
    int current = -1;
    bool stale = false; // the view changed since the last search
};
