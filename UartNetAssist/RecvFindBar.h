#pragma once

#include <QVector>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

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

    int matchCount() const { return found.size(); }
    int currentIndex() const { return current; }
    // Whether part of the view is still to be searched (a large view is searched in slices).
    bool searching() const { return scanFrom >= 0; }

    // Matches highlighted at most (those around the current one); all can be reached.
    static constexpr int maxHighlights = 400;
    // The longest the bar searches before letting the panel run again.
    static constexpr int sliceMs = 8;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    // Searches on from scanFrom until done or budgetMs spent.
    void scan(int budgetMs);
    void documentChanged(int position, int removed, int added);
    // Highlights the matches around the current one; moveView: and shows it.
    void showCurrent(bool moveView);
    void showCount();

    QPlainTextEdit* view;
    std::function<bool()> isHexView;
    QLineEdit* findText;
    QCheckBox* matchCase;
    QLabel* countLabel;
    QTimer* sliceTimer;
    QString needle;
    bool hex = false;
    QVector<int> found;   // start of every match in the document, ascending
    int current = -1;     // the match shown
    bool currentGone = false; // it scrolled out; `current` is the oldest match after it
    int showFrom = 0;     // a new search shows the first match from here
    int scanFrom = -1;    // document position still to search from; -1: all searched
    bool freshSearch = false; // the scan under way began with a new needle
};
