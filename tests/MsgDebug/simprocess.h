#pragma once

// Runs the vxa-dbgsim device simulator on a free loopback port and collects what it
// prints (the commands it received). The process is ended when the object goes.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

class SimProcess
{
public:
    // port 0: any free port, read back from the simulator's output.
    explicit SimProcess(QStringList args, int port = 0)
    {
        args << QStringLiteral("--port") << QString::number(port);
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        proc.start(QStringLiteral(VXA_BIN_DIR "/vxa-dbgsim"), args);
        if (!proc.waitForStarted(5000))
            return;
        const QString line = waitForLine(QStringLiteral("listening "), 5000);
        if (!line.isEmpty())
            listenPort = line.mid(10).toInt();
    }
    ~SimProcess()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool isValid() const { return listenPort > 0; }
    int port() const { return listenPort; }

    // All lines printed so far.
    QStringList lines()
    {
        collect();
        return output;
    }
    int count(const QString& line)
    {
        collect();
        return output.count(line);
    }

    // Waits (processing events) for a line starting with prefix that was not returned
    // before; empty on timeout.
    QString waitForLine(const QString& prefix, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            collect();
            for (int k = consumed; k < output.size(); ++k) {
                if (output.at(k).startsWith(prefix)) {
                    consumed = k + 1;
                    return output.at(k);
                }
            }
            proc.waitForReadyRead(10);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return QString();
    }

private:
    void collect()
    {
        partial += proc.readAllStandardOutput();
        int nl;
        while ((nl = partial.indexOf('\n')) >= 0) {
            output << QString::fromLocal8Bit(partial.left(nl));
            partial.remove(0, nl + 1);
        }
    }

    QProcess proc;
    QByteArray partial;
    QStringList output;
    int consumed = 0;
    int listenPort = 0;
};
