#include "vxaWindow.h"

vxaWindow::vxaWindow(QWidget* parent)
    : QMainWindow(parent)
{
}
