#include "MyQHeaderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
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
    const int textWidth = fontMetrics().horizontalAdvance(tr("Sel All"));
    boxRect = QRect(rect.left() + qMax(0, (rect.width() - (16 + 5 + textWidth)) / 2),
                    rect.top() + (rect.height() - 16) / 2, 16, 16);
    QStyleOptionButton opt;
    opt.rect = boxRect;
    opt.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    style()->drawControl(QStyle::CE_CheckBox, &opt, painter, this);
    const QRect textRect(boxRect.left() + 16 + 5, rect.top(), textWidth, rect.height());
    painter->drawText(textRect, Qt::AlignCenter, tr("Sel All"));
}

QSize MyQHeaderView::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (logicalIndex == 0) {
        const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
        size.setWidth(qMax(size.width(), 16 + 5 + fontMetrics().horizontalAdvance(tr("Sel All")) + margin));
    }
    return size;
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
