#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

class Ui_DataMonitor;

// Lists every chunk a bridge relays: number, time, source, length, text and hex.
// It keeps only the newest maxRows rows so that a long-running bridge cannot exhaust
// memory; "No" still counts every record.
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

protected:
    void changeEvent(QEvent* event) override;

private:
    Ui_DataMonitor* ui = nullptr;
    qint64 records = 0;
};

// Two lower-case hex digits and a space per byte.
QString hexWithSpaces(const QByteArray& data);
