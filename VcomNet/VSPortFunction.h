#pragma once

#include <QMap>
#include <QObject>
#include <QProcess>
#include <QStringList>

// A socat child that dies with us: even if the program is killed outright, the kernel
// sends it SIGTERM, so it removes its links under /dev and no stale pair survives.
class PairProcess : public QProcess
{
    Q_OBJECT
public:
    explicit PairProcess(QObject* parent = nullptr);

    QString name1;
    QString name2;

protected:
    void setupChildProcess() override;

private:
    qint64 parentPid = 0;
};

// Starts and ends the socat processes that make the pseudo-terminal pairs of the VCOM
// tool, and lists the port names already present under /dev.
class VSPortFunction : public QObject
{
    Q_OBJECT
public:
    VSPortFunction();
    ~VSPortFunction() override;

    void Init();
    // Blocks until socat reports the pair running, at most createTimeoutMs.
    bool CreatePair(QString name1, QString name2);
    bool DeletePair(QString name1);
    QStringList LoadBusyNames();
    void Uninstall();

    // Process id of the pair kept under name1, 0 when none (for diagnostics and tests).
    qint64 pairPid(const QString& name1) const;
    QString lastError() const { return errorText; }

    static constexpr int createTimeoutMs = 2000;
    static constexpr const char* pairMarker = "starting data transfer loop with FDs";

    // Where the links go; tests may point this elsewhere.
    static QString devDir;

private:
    void endProcess(PairProcess* proc);

    QMap<QString, PairProcess*> processes;
    QStringList busyNames;
    QString errorText;
};

// Bridge-side name for a user-side name: ttyS5 gives ttyS261, anything not starting
// with "ttyS" gives "-".
QString PairedComName(QString name);

// Connection number of a port name "ttyS<N>" with N written without leading zeros and
// 1 <= N <= maxNumber; 0 for anything else. Names reach socat's command line, so
// nothing but this exact form is ever used.
int comNameNumber(const QString& name, int maxNumber = 512);

// ttyS1 .. ttyS256 without the exact names in busy, in ascending order.
QStringList offeredComNames(const QStringList& busy);

// Whether a process other than this one and exceptPid has devDir/name (or what it
// links to) open.
bool isPortOpenByOthers(const QString& name, qint64 exceptPid);
