#include "MyLineEdit.h"

#include <QMouseEvent>

MyLineEdit::MyLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

void MyLineEdit::mousePressEvent(QMouseEvent* event)
{
    // Only the left button counts; other buttons are swallowed, not passed on. The left
    // press still places the cursor in an editable port name.
    if (event->button() != Qt::LeftButton)
        return;
    emit clicked();
    QLineEdit::mousePressEvent(event);
}
