#pragma once

#include <QHeaderView>

// Horizontal table header whose first section carries a "Sel All" check box.
class MyQHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit MyQHeaderView(QWidget* parent = nullptr);

    bool isChecked() const { return checked; }
    // Sets the box without emitting headCheckBoxToggled (a new search empties the table).
    void setChecked(bool on);
    QRect checkBoxRect() const { return boxRect; }

signals:
    void headCheckBoxToggled(bool checked);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    // The first section is as wide as its box and "Sel All" in the header's font.
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool checked = false;
    QPoint mousePoint{100, 100};
    mutable QRect boxRect; // computed while painting section 0
};
