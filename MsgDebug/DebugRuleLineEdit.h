#pragma once

#include <QLineEdit>
#include <QMouseEvent>

// Read-only line edit of the rules combo box: a click opens the combo box's list.
class DebugRuleLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DebugRuleLineEdit(QWidget* parent = nullptr)
        : QLineEdit(parent)
    {
        setReadOnly(true);
    }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QLineEdit::mousePressEvent(event);
        if (event->button() == Qt::LeftButton)
            emit clicked();
    }
};
