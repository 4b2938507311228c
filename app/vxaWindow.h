#pragma once

#include <QMainWindow>

class vxaWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit vxaWindow(QWidget* parent = nullptr);
};
