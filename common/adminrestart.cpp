#include "adminrestart.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUuid>

namespace {
const char* const context = "rights";
const char* const startedWord = "started\n";

QString tr(const char* text)
{
    return QCoreApplication::translate(context, text);
}
} // namespace

AdminRestart::AdminRestart(QObject* parent)
    : QObject(parent)
{
}

AdminRestart::~AdminRestart()
{
    // The shell between us and pkexec goes with us; pkexec and the new instance stay.
    if (process) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(1000);
    }
}

QString AdminRestart::notifyOption()
{
    return QStringLiteral("--restart-notify");
}

bool AdminRestart::isWaiting() const
{
    return process && process->state() != QProcess::NotRunning && !reported;
}

bool AdminRestart::start()
{
    if (isWaiting())
        return true;
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty()) {
        errorText = tr("The program pkexec was not found; install the package pkexec, or start the program as root.");
        return false;
    }
    delete server;
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = QStringLiteral("vxa-restart-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    if (!server->listen(name)) {
        errorText = tr("The restart could not be prepared: %1").arg(server->errorString());
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, [this]() {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket]() {
                if (reported || !socket->canReadLine())
                    return;
                if (socket->readLine() == startedWord) {
                    reported = true;
                    emit started();
                }
            });
        }
    });

    // pkexec's words (and the new instance's) go to a file, not to a pipe that would
    // break once this instance has ended.
    delete output;
    output = new QTemporaryFile(this);
    output->open();
    delete process;
    process = new QProcess(this);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(output->fileName());
    // pkexec serves only a living parent: a small shell stays its parent, so that ending
    // this instance later does not end pkexec. The program's real path is the one the
    // polkit action names; everything goes as positional parameters, never through the
    // shell's parser.
    QStringList arguments{QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\"; exit $?"), pkexec,
                          QCoreApplication::applicationFilePath(), notifyOption(), server->fullServerName()};
    const QStringList own = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < own.size(); ++i) {
        if (own.at(i) == notifyOption())
            ++i; // an earlier restart's socket, gone by now
        else
            arguments << own.at(i);
    }
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            emit failed(tr("pkexec could not be started: %1").arg(process->errorString()));
    });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &AdminRestart::finished);
    process->start(QStringLiteral("/bin/sh"), arguments);
    reported = false;
    return true;
}

void AdminRestart::finished(int exitCode)
{
    if (reported)
        return; // the new instance has ended again after reporting in
    server->close();
    output->seek(0);
    QByteArray text = output->readAll();
    if (text.size() > 4096)
        text = text.right(4096);
    emit failed(failureText(exitCode, QString::fromLocal8Bit(text).trimmed()));
}

QString AdminRestart::failureText(int exitCode, const QString& output)
{
    QString reason;
    if (output.contains(QLatin1String("dismissed"), Qt::CaseInsensitive))
        reason = tr("The restart was cancelled: the administrator password was not given.");
    else if (output.contains(QLatin1String("authentication agent"), Qt::CaseInsensitive))
        reason = tr("No authentication agent runs in this session, so pkexec cannot ask for the administrator "
                    "password. Start the program as root instead (for example with sudo).");
    else if (output.contains(QLatin1String("not authorized"), Qt::CaseInsensitive) || exitCode == 126
             || exitCode == 127)
        reason = tr("Administrator rights were refused: the system did not allow this user to restart the "
                    "program as administrator.");
    else
        reason = tr("The program started as administrator ended before its window opened (exit status %1).")
                     .arg(exitCode);
    reason += QLatin1Char('\n') + tr("The program keeps running as it is.");
    if (!output.isEmpty())
        reason += QStringLiteral("\n\n") + output;
    return reason;
}

void AdminRestart::reportStarted(const QString& socketPath)
{
    auto* socket = new QLocalSocket(QCoreApplication::instance());
    QObject::connect(socket, &QLocalSocket::connected, socket, [socket]() {
        socket->write(startedWord);
        socket->flush();
        socket->disconnectFromServer();
    });
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::errorOccurred, socket,
                     [socket](QLocalSocket::LocalSocketError) {
                         if (socket->state() == QLocalSocket::UnconnectedState)
                             socket->deleteLater();
                     });
    socket->connectToServer(socketPath);
}
