#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

// Writes received data into a file that rolls over to numbered files beside it once
// it reaches its size limit: log.dat, then log_1.dat, log_2.dat, ...
class RecvFileWriter
{
    Q_DECLARE_TR_FUNCTIONS(RecvFileWriter)
public:
    enum Status { Ok, WriteFailed, RolloverFailed };

    static constexpr quint64 defaultLimit = 64ull * 1024 * 1024;

    // Opens path write-only (truncating) and restarts the numbering. False with
    // errorText when it cannot be opened.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return recvFile.isOpen(); }
    // Name of the file being written now.
    QString fileName() const { return recvFile.fileName(); }
    // Received data go there as formatted text rather than raw bytes.
    bool isTextFile() const { return recvFile.fileName().endsWith(QLatin1String(".txt")); }

    void setLimit(quint64 bytes) { recvFileLimit = bytes; }
    quint64 limit() const { return recvFileLimit; }
    // The limit for a "Single Size(M)" text in MiB, in 64-bit arithmetic: a non-numeric
    // text gives 0, an empty one keeps previous, a huge one saturates.
    static quint64 limitFromMiB(const QString& text, quint64 previous);

    quint32 index() const { return recvFileIndex; }
    QString directory() const { return recvFileDir; }
    QString baseName() const { return recvFileBase; }
    QString suffix() const { return recvFileSuffix; }
    // Name of rollover file number i.
    QString rolloverName(quint32 i) const;

    // Writes data, rolling over when the limit is reached. WriteFailed: the system took
    // less than all (a full disk, a removed mount). On RolloverFailed the next
    // file could not be opened, the writer is closed and errorText says why.
    Status write(const QByteArray& data);

    QString errorText;
    // The file and the system's reason of the last failure (open, write or rollover).
    QString errorFile;
    QString errorReason;

private:
    bool writeAll(const QByteArray& data);

    QFile recvFile;
    QString recvFileDir;
    QString recvFileBase;
    QString recvFileSuffix;
    quint32 recvFileIndex = 0;
    quint64 recvFileLimit = defaultLimit;
};
