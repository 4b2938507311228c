#include "VSPortFunction.h"
#include "vcomlog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

QString VSPortFunction::devDir = QStringLiteral("/dev");

namespace {

QString textUpToNul(const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

// A link left by a socat that was killed outright points nowhere; it is ours to remove.
void removeDanglingLink(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) {
        qCDebug(lcVcom) << "removing stale link" << path;
        QFile::remove(path);
    }
}

} // namespace

PairProcess::PairProcess(QObject* parent)
    : QProcess(parent)
    , parentPid(::getpid())
{
}

void PairProcess::setupChildProcess()
{
    // Runs in the child between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parentPid) // the parent died before prctl took effect
        ::_exit(1);
}

VSPortFunction::VSPortFunction()
{
    Init();
}

VSPortFunction::~VSPortFunction()
{
    Uninstall();
    qDeleteAll(processes);
    processes.clear();
}

void VSPortFunction::Init()
{
    LoadBusyNames();
}

bool VSPortFunction::CreatePair(QString name1, QString name2)
{
    errorText.clear();
    QStringList args{QStringLiteral("-d"), QStringLiteral("-d")};
    if (name1.isEmpty() && name2.isEmpty()) {
        args << QStringLiteral("pty,raw,echo=0") << QStringLiteral("pty,raw,echo=0");
    } else {
        if (!comNameNumber(name1) || !comNameNumber(name2) || name1 == name2) {
            errorText = QStringLiteral("invalid port names");
            qCDebug(lcVcom) << "refusing port pair with invalid names" << name1 << name2;
            return false;
        }
        const QString path1 = devDir + QLatin1Char('/') + name1;
        const QString path2 = devDir + QLatin1Char('/') + name2;
        removeDanglingLink(path1);
        removeDanglingLink(path2);
        // socat replaces whatever has the link's name, even a real device node.
        for (const QString& path : {path1, path2}) {
            if (QFileInfo(path).isSymLink() || QFileInfo::exists(path)) {
                errorText = QStringLiteral("%1 exists already").arg(path);
                qCDebug(lcVcom) << "refusing port pair:" << errorText;
                return false;
            }
        }
        args << QStringLiteral("pty,raw,echo=0,link=%1").arg(path1)
             << QStringLiteral("pty,raw,echo=0,link=%1").arg(path2);
    }

    auto* proc = new PairProcess;
    proc->name1 = name1;
    proc->name2 = name2;
    proc->setProcessChannelMode(QProcess::MergedChannels);
    proc->start(QStringLiteral("socat"), args, QIODevice::ReadWrite);

    // Healthy socat never finishes: wait for its notice that both ends are open.
    QByteArray output;
    bool found = false;
    QElapsedTimer timer;
    timer.start();
    if (proc->waitForStarted(createTimeoutMs)) {
        while (!found) {
            const qint64 left = createTimeoutMs - timer.elapsed();
            if (left <= 0 || proc->state() != QProcess::Running)
                break;
            proc->waitForReadyRead(static_cast<int>(left));
            output += proc->readAll();
            found = textUpToNul(output).contains(QLatin1String(pairMarker));
        }
    }
    output += proc->readAll();
    found = found || textUpToNul(output).contains(QLatin1String(pairMarker));

    if (!found) {
        errorText = proc->error() == QProcess::FailedToStart ? proc->errorString()
                                                             : textUpToNul(output).trimmed();
        qCDebug(lcVcom) << "socat pair" << name1 << name2 << "failed:" << errorText;
        endProcess(proc);
        delete proc;
        return false;
    }
    if (PairProcess* old = processes.value(name1)) {
        // The new pair takes the name; the old one must not run on untracked.
        endProcess(old);
        delete old;
    }
    // socat's later notices are read and dropped, so they never pile up in memory.
    connect(proc, &QProcess::readyRead, proc, [proc]() { proc->readAll(); });
    processes.insert(name1, proc);
    return true;
}

void VSPortFunction::endProcess(PairProcess* proc)
{
    if (proc->state() != QProcess::NotRunning && proc->processId() > 0) {
        ::kill(static_cast<pid_t>(proc->processId()), SIGINT);
        // Give socat the moment it needs to remove its links before closing hard.
        if (!proc->waitForFinished(3000))
            qCDebug(lcVcom) << "socat" << proc->processId() << "ignored SIGINT";
    }
    proc->close();
    if (!proc->name1.isEmpty()) {
        removeDanglingLink(devDir + QLatin1Char('/') + proc->name1);
        removeDanglingLink(devDir + QLatin1Char('/') + proc->name2);
    }
}

bool VSPortFunction::DeletePair(QString name1)
{
    PairProcess* proc = name1.isEmpty() ? nullptr : processes.value(name1);
    if (!proc) {
        qCDebug(lcVcom) << "Virtual port pair is wrong!";
        return false;
    }
    endProcess(proc);
    delete proc;
    processes.remove(name1);
    return true;
}

void VSPortFunction::Uninstall()
{
    for (auto it = processes.begin(); it != processes.end(); ++it) {
        if (it.value()) {
            endProcess(it.value());
            delete it.value();
            it.value() = nullptr;
        }
    }
    processes.clear();
}

qint64 VSPortFunction::pairPid(const QString& name1) const
{
    const PairProcess* proc = processes.value(name1);
    return proc ? proc->processId() : 0;
}

QStringList VSPortFunction::LoadBusyNames()
{
    QProcess ls;
    QProcess grep;
    ls.setStandardOutputProcess(&grep);
    ls.start(QStringLiteral("ls"), {devDir}, QIODevice::ReadWrite);
    grep.start(QStringLiteral("grep"), {QStringLiteral("ttyS")}, QIODevice::ReadWrite);
    grep.waitForStarted(30000);
    ls.waitForFinished(30000);
    grep.waitForFinished(30000);
    QStringList names = textUpToNul(grep.readAllStandardOutput()).split(QLatin1Char('\n'));
    names.removeLast(); // the empty text after the final line feed
    ls.close();
    grep.close();
    busyNames = names;
    return busyNames;
}

QString PairedComName(QString name)
{
    if (!name.startsWith(QLatin1String("ttyS")))
        return QStringLiteral("-");
    return QStringLiteral("ttyS%1").arg(name.mid(4).toInt() + 256);
}

int comNameNumber(const QString& name, int maxNumber)
{
    static const QRegularExpression re(
        QRegularExpression::anchoredPattern(QStringLiteral("ttyS([1-9][0-9]{0,3})")));
    const QRegularExpressionMatch m = re.match(name);
    if (!m.hasMatch())
        return 0;
    const int n = m.captured(1).toInt();
    return n <= maxNumber ? n : 0;
}

QStringList offeredComNames(const QStringList& busy)
{
    QStringList names;
    names.reserve(256);
    for (int n = 1; n <= 256; ++n)
        names << QStringLiteral("ttyS%1").arg(n);
    for (const QString& name : busy)
        names.removeOne(name);
    return names;
}

bool isPortOpenByOthers(const QString& name, qint64 exceptPid)
{
    const QString target = QFileInfo(VSPortFunction::devDir + QLatin1Char('/') + name).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const QString self = QString::number(::getpid());
    const QString except = QString::number(exceptPid);
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid.isEmpty() || !pid.at(0).isDigit() || pid == self || pid == except)
            continue;
        const QDir fdDir(QStringLiteral("/proc/%1/fd").arg(pid));
        const QStringList fds = fdDir.entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString& fd : fds) {
            if (QFileInfo(fdDir.filePath(fd)).symLinkTarget() == target)
                return true;
        }
    }
    return false;
}
