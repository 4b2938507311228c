#include "UnixSignalWatcher.h"
#include "vxaWindow.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    QCoreApplication::setSetuidAllowed(true);
    QApplication a(argc, argv);
    Q_INIT_RESOURCE(vxa);

    // A desktop logout or Ctrl+C ends the program like closing the window: the event
    // loop returns and every destructor runs (history saved, child processes ended).
    UnixSignalWatcher stopSignals({SIGTERM, SIGINT});
    QObject::connect(&stopSignals, &UnixSignalWatcher::signalReceived, &a, []() { QCoreApplication::quit(); });

    vxaWindow w;
    w.show();
    return a.exec();
}
