#pragma once

#include <QLineEdit>

// A line edit that reports a left click, so a read-only combo edit can open its popup.
class MyLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit MyLineEdit(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
