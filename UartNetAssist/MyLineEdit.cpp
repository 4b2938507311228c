#include "MyLineEdit.h"

#include <QMouseEvent>

MyLineEdit::MyLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

void MyLineEdit::mousePressEvent(QMouseEvent* event)
{
    // Only the left button counts; other buttons are swallowed, not passed on.
    if (event->button() == Qt::LeftButton)
        emit clicked();
}
