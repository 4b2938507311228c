#include "UnixSignalWatcher.h"
#include "vxaWindow.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

QtMessageHandler previousHandler = nullptr;

struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage>* heldMessages = nullptr;

// Only while the application object is built: a platform that cannot start (no
// display, display unreachable) ends the program with one line and status 1 instead
// of several lines and an abort with a core dump. Other messages wait until the
// application object exists and are then passed on.
void startupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        heldMessages->append({type, QByteArray(context.category), message});
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    std::fprintf(stderr, "vxa: cannot open a display (DISPLAY=%s); start it from a desktop session.\n",
                 display.isEmpty() ? "unset" : display.constData());
    std::fflush(stderr);
    ::_exit(1);
}

void passHeldMessages()
{
    for (const HeldMessage& m : qAsConst(*heldMessages)) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.isEmpty() ? nullptr : m.category.constData());
        previousHandler(m.type, context, m.text);
    }
    heldMessages->clear();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setSetuidAllowed(true);
    QList<HeldMessage> held;
    heldMessages = &held;
    previousHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication a(argc, argv);
    qInstallMessageHandler(previousHandler);
    passHeldMessages();
    Q_INIT_RESOURCE(vxa);

    // A desktop logout or Ctrl+C ends the program like closing the window: the event
    // loop returns and every destructor runs (history saved, child processes ended).
    UnixSignalWatcher stopSignals({SIGTERM, SIGINT});
    QObject::connect(&stopSignals, &UnixSignalWatcher::signalReceived, &a, []() { QCoreApplication::quit(); });

    vxaWindow w;
    w.show();
    return a.exec();
}
