#include "RecvFileWriter.h"
#include "assistlog.h"

#include <QFileInfo>

#include <limits>

bool RecvFileWriter::open(const QString& path)
{
    close();
    recvFile.setFileName(path);
    if (!recvFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        errorText = recvFile.errorString();
        errorFile = path;
        errorReason = errorText;
        return false;
    }
    const QFileInfo info(recvFile);
    recvFileDir = info.absolutePath();
    recvFileBase = info.baseName();
    recvFileSuffix = info.suffix();
    recvFileIndex = 0;
    errorText.clear();
    return true;
}

void RecvFileWriter::close()
{
    if (recvFile.isOpen())
        recvFile.close();
}

quint64 RecvFileWriter::limitFromMiB(const QString& text, quint64 previous)
{
    if (text.isEmpty())
        return previous;
    bool ok = false;
    const quint64 mib = text.trimmed().toULongLong(&ok);
    if (!ok)
        return 0;
    constexpr quint64 maxMiB = std::numeric_limits<quint64>::max() / 1048576ull;
    if (mib > maxMiB)
        return std::numeric_limits<quint64>::max();
    return mib * 1048576ull;
}

QString RecvFileWriter::rolloverName(quint32 i) const
{
    QString name = recvFileDir + QLatin1Char('/') + recvFileBase + QStringLiteral("_%1").arg(i);
    if (!recvFileSuffix.isEmpty())
        name += QLatin1Char('.') + recvFileSuffix;
    return name;
}

bool RecvFileWriter::writeAll(const QByteArray& data)
{
    // A short write is tried again for the rest: that try fails with the system's
    // reason (a full disk), which the short write alone does not report.
    qint64 done = 0;
    while (done < data.size()) {
        const qint64 n = recvFile.write(data.constData() + done, data.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    const bool ok = done == data.size() && recvFile.flush();
    if (!ok) {
        errorText = recvFile.errorString();
        errorFile = recvFile.fileName();
        errorReason = errorText;
        qCDebug(lcAssist) << "receive file write failed:" << recvFile.fileName() << errorText;
    }
    return ok;
}

RecvFileWriter::Status RecvFileWriter::write(const QByteArray& data)
{
    if (!recvFile.isOpen() || data.isEmpty())
        return Ok;
    const quint64 size = static_cast<quint64>(recvFile.size());
    const quint64 n = static_cast<quint64>(data.size());
    if (size <= recvFileLimit && n <= recvFileLimit - size)
        return writeAll(data) ? Ok : WriteFailed;

    const quint64 room = size < recvFileLimit ? recvFileLimit - size : 0;
    bool ok = true;
    if (room > 0)
        ok = writeAll(data.left(static_cast<int>(room)));
    recvFile.close();
    ++recvFileIndex;
    recvFile.setFileName(rolloverName(recvFileIndex));
    if (!recvFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        errorText = tr("Cannot open %1: %2").arg(recvFile.fileName(), recvFile.errorString());
        errorFile = recvFile.fileName();
        errorReason = recvFile.errorString();
        recvFile.close();
        return RolloverFailed;
    }
    // The rest goes whole into the new file, even beyond the limit.
    if (!writeAll(data.mid(static_cast<int>(room))))
        ok = false;
    return ok ? Ok : WriteFailed;
}
