#pragma once

// Runs vxa-devsim in the simulator's network namespace of the test network made by
// netns.sh, and collects the frames it reports ("rx <hex>").

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

class Simulator
{
public:
    static bool available()
    {
        return !qEnvironmentVariableIsEmpty("VXA_NETNS_SIM") && !qEnvironmentVariableIsEmpty("VXA_DEVSIM");
    }

    explicit Simulator(const QStringList& args)
    {
        QStringList all{QStringLiteral("netns"), QStringLiteral("exec"), qEnvironmentVariable("VXA_NETNS_SIM"),
                        qEnvironmentVariable("VXA_DEVSIM"), QStringLiteral("--iface"), qEnvironmentVariable("VXA_SIM_IFACE")};
        all += args;
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QStringLiteral("ip"), all);
        if (!proc.waitForStarted(5000))
            return;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && proc.state() == QProcess::Running) {
            proc.waitForReadyRead(50);
            buffer += proc.readAllStandardOutput();
            if (buffer.contains("ready\n")) {
                buffer.clear();
                ok = true;
                return;
            }
        }
    }

    ~Simulator()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(3000)) {
                proc.kill();
                proc.waitForFinished(3000);
            }
        }
    }

    bool isReady() const { return ok; }

    // Every frame received so far, as lower-case hex.
    QList<QByteArray> frames()
    {
        buffer += proc.readAllStandardOutput();
        QList<QByteArray> out;
        for (const QByteArray& line : buffer.split('\n'))
            if (line.startsWith("rx "))
                out << line.mid(3);
        return out;
    }

    // The received frames whose opcode (bytes 16-17) is the given one.
    QList<QByteArray> framesWithOpcode(const char* opcodeHex)
    {
        QList<QByteArray> out;
        for (const QByteArray& f : frames())
            if (f.mid(32, 4) == opcodeHex)
                out << f;
        return out;
    }

private:
    QProcess proc;
    QByteArray buffer;
    bool ok = false;
};
