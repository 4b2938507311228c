#pragma once

#include <QAbstractItemView>
#include <QAction>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// Tells a newcomer what an empty tool tree is for: while the view's model has no rows
// a short centred hint is painted on its viewport, and Insert or a double-click on the
// empty area triggers the tool's "new" action (when it has one). The hint text is
// translated at paint time, so it follows a language change by itself.
class EmptyStateHint : public QObject
{
    Q_OBJECT
public:
    // context/sourceText as for QCoreApplication::translate; action may be null.
    EmptyStateHint(QAbstractItemView* view, const char* context, const char* sourceText, QAction* action = nullptr);

    // The hint installed on a view, or null.
    static EmptyStateHint* of(const QWidget* view);

    QString text() const;
    QAction* action() const { return newAction; }
    QAbstractItemView* view() const { return itemView; }

    // A widget that, while visible, shows the tool's work even with an empty tree
    // (a creation form), so the tool does not count as empty then.
    void setContentWidget(QWidget* widget);

    // No rows in the tree and no content widget shown.
    bool isEmpty() const;
    // Runs the "new" action as Insert on the view does (a choice of kinds pops up).
    void triggerNew();

    // A note the central panel shows above the hint (rights the tool lacks, say); made
    // for the panel, which owns it. Null: no note.
    void setNoteFactory(std::function<QWidget*(QWidget* parent)> make) { noteFactory = std::move(make); }
    QWidget* makeNote(QWidget* parent) const { return noteFactory ? noteFactory(parent) : nullptr; }

signals:
    void emptyChanged(bool empty);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void modelChanged();
    void watchModel();
    void paintHint();

    QPointer<QAbstractItemView> itemView;
    QPointer<QAction> newAction;
    QPointer<QWidget> content;
    const char* context;
    const char* sourceText;
    bool lastEmpty = true;
    std::function<QWidget*(QWidget*)> noteFactory;
};

// The central area's stand-in for an empty tool: the tree's hint and a button for the
// same "new" action, laid over a host widget while the tool is empty and shown.
class EmptyStatePanel : public QWidget
{
    Q_OBJECT
public:
    EmptyStatePanel(EmptyStateHint* hint, QWidget* host);

    // Shows the panel when active (its tool is the one shown) and the tool is empty.
    void setActive(bool active);
    QPushButton* button() const { return newButton; }
    EmptyStateHint* hint() const { return stateHint; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void retranslate();

    QPointer<EmptyStateHint> stateHint;
    QLabel* label = nullptr;
    QPushButton* newButton = nullptr;
    bool active = false;
};
