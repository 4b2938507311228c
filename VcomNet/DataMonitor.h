#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <deque>

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
    bool saveToFile(const QString& path) const;

    int rowCount() const;
    QString cellText(int row, int column) const;

    static constexpr int maxRows = 20000;
    // Oldest rows go in batches, so a full table does not shift on every record.
    static constexpr int trimBatch = 1000;
    static constexpr qint64 maxTextChars = 8 * 1024 * 1024;

    qint64 textChars() const { return totalChars; }

protected:
    void changeEvent(QEvent* event) override;

private:
    Ui_DataMonitor* ui = nullptr;
    void dropOldest(int count);

    qint64 records = 0;
    std::deque<qint64> rowChars; // text size of each row, oldest first
    qint64 totalChars = 0;
};

// Two lower-case hex digits and a space per byte.
QString hexWithSpaces(const QByteArray& data);
