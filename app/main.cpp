#include "CommandLine.h"
#include "UnixSignalWatcher.h"
#include "adminrestart.h"
#include "rights.h"
#include "vxaWindow.h"

#include <QApplication>
#include <QTimer>

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
    // A set-user-ID GUI with file dialogs would let any user write any file as the owner.
    // Administrator rights come through pkexec instead, raw frames through a file capability.
    if (rights::startedSetId()) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate(
                         "main", "vxa: refusing to run set-user-ID or set-group-ID; start it as yourself "
                                 "(use pkexec for administrator rights).")));
        return 1;
    }
    QCoreApplication::setApplicationName(QStringLiteral("vxa"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VXA_VERSION));
    // Lets Wayland docks and task bars match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.vxa"));
    int exitCode = 0;
    if (CommandLine::answerInformational(argc, argv, &exitCode))
        return exitCode;

    QList<HeldMessage> held;
    heldMessages = &held;
    previousHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication a(argc, argv);
    qInstallMessageHandler(previousHandler);
    passHeldMessages();
    Q_INIT_RESOURCE(vxa);

    const CommandLine::Options options = CommandLine::parse(a.arguments());
    if (!options.valid) {
        std::fprintf(stderr, "vxa: %s\n", qPrintable(options.errorText));
        return 1;
    }
    if (options.verbose)
        CommandLine::enableVerboseLogging();

    // A desktop logout or Ctrl+C ends the program like closing the window: the event
    // loop returns and every destructor runs (history saved, child processes ended).
    UnixSignalWatcher stopSignals({SIGTERM, SIGINT});
    QObject::connect(&stopSignals, &UnixSignalWatcher::signalReceived, &a, []() { QCoreApplication::quit(); });

    vxaWindow w;
    w.show();
    // The instance that asked for administrator rights waits until this window is up.
    if (!options.restartNotify.isEmpty())
        QTimer::singleShot(0, &w, [path = options.restartNotify]() { AdminRestart::reportStarted(path); });
    return a.exec();
}
