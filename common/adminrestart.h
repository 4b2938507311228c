#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QProcess;
class QTemporaryFile;

// "Restart as administrator": starts this program again through pkexec and waits, without
// blocking, until the new instance reports that its window is up (over a local socket whose
// path it gets on its command line). Only then may this instance end; a refused, cancelled
// or failed start is reported in words instead.
class AdminRestart : public QObject
{
    Q_OBJECT
public:
    explicit AdminRestart(QObject* parent = nullptr);
    ~AdminRestart() override;

    // False with errorText at once when pkexec is missing or the wait cannot be set up.
    bool start();
    bool isWaiting() const;
    QString errorText;

    // The option the elevated instance gets; its value is the socket to report to.
    static QString notifyOption();
    // Called by the elevated instance once its window is shown; never blocks.
    static void reportStarted(const QString& socketPath);

    // pkexec's exit status and what it printed, in words for the user.
    static QString failureText(int exitCode, const QString& output);

signals:
    void started();
    void failed(const QString& reason);

private:
    void finished(int exitCode);

    QLocalServer* server = nullptr;
    QProcess* process = nullptr;
    QTemporaryFile* output = nullptr;
    bool reported = false;
};
