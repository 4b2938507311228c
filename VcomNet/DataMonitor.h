#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <deque>

class QTimer;
class Ui_DataMonitor;

// Lists every chunk a bridge relays: number, time, source, length, text and hex.
// It keeps only the newest maxRows rows, and no more than maxTextChars characters of
// content and hex text (a bridge relays chunks of up to 64 KiB), so that a
// long-running bridge cannot exhaust memory; "No" still counts every record.
class DataMonitor : public QWidget
{
    Q_OBJECT
public:
    explicit DataMonitor(QWidget* parent = nullptr);
    ~DataMonitor() override;

    void addMsg(QString source, const QByteArray& data);
    void clear();
    void saveContentToFile();
    // Writes the table to path: header and rows, cells followed by a tab, lines by CR LF.
    bool saveToFile(const QString& path);

    // Rows as shown (records still waiting for the display come in first).
    int rowCount();
    QString cellText(int row, int column);

    static constexpr int maxRows = 20000;
    // Oldest rows go in batches, so a full table does not shift on every record.
    static constexpr int trimBatch = 1000;
    static constexpr qint64 maxTextChars = 8 * 1024 * 1024;
    // Cells show at most this many characters (laying out a 64 KiB chunk's text on every
    // repaint would stall the window); cellText and the saved file keep the whole text.
    static constexpr int displayChars = 512;
    // Records reach the table in batches, so a fast bridge repaints it a few times a
    // second rather than once per chunk.
    static constexpr int batchIntervalMs = 100;

    qint64 textChars()
    {
        flushPending();
        return totalChars;
    }

protected:
    void changeEvent(QEvent* event) override;

private:
    Ui_DataMonitor* ui = nullptr;
    void dropOldest(int count);
    void flushPending();
    void appendRow(const QStringList& cells, qint64 chars);

    struct Record
    {
        QStringList cells;
        qint64 chars = 0;
    };
    std::deque<Record> pending;
    qint64 pendingChars = 0;
    QTimer* batchTimer = nullptr;

    qint64 records = 0;
    std::deque<qint64> rowChars; // text size of each row, oldest first
    qint64 totalChars = 0;
};
