#include "MyQHeaderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

MyQHeaderView::MyQHeaderView(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setMouseTracking(true);
}

void MyQHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != 0)
        return;
    boxRect = QRect(rect.left() + (rect.width() - 61) / 2, rect.top() + (rect.height() - 16) / 2, 16, 16);
    QStyleOptionButton opt;
    opt.rect = boxRect;
    opt.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    style()->drawControl(QStyle::CE_CheckBox, &opt, painter, this);
    const QRect textRect(boxRect.left() + 16 + 5, rect.top(), 40, rect.height());
    painter->drawText(textRect, Qt::AlignCenter, tr("Sel All"));
}

void MyQHeaderView::setChecked(bool on)
{
    if (checked == on)
        return;
    checked = on;
    updateSection(0);
}

void MyQHeaderView::mousePressEvent(QMouseEvent* event)
{
    if (isEnabled() && logicalIndexAt(event->pos()) == 0 && boxRect.contains(event->pos())) {
        checked = !checked;
        updateSection(0);
        emit headCheckBoxToggled(checked);
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void MyQHeaderView::mouseMoveEvent(QMouseEvent* event)
{
    mousePoint = event->pos();
    if (boxRect.contains(mousePoint))
        updateSection(0);
    QHeaderView::mouseMoveEvent(event);
}
