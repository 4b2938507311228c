#include "vxaWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setSetuidAllowed(true);
    QApplication a(argc, argv);
    Q_INIT_RESOURCE(vxa);
    vxaWindow w;
    w.show();
    return a.exec();
}
