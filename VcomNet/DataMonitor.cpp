#include "DataMonitor.h"

#include "ui_DataMonitor.h"

#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QTextCodec>

QString hexWithSpaces(const QByteArray& data)
{
    static const char digits[] = "0123456789abcdef";
    QString out;
    out.reserve(data.size() * 3);
    for (char c : data) {
        const auto b = static_cast<unsigned char>(c);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 0x0f]);
        out += QLatin1Char(' ');
    }
    return out;
}

DataMonitor::DataMonitor(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_DataMonitor)
{
    ui->setupUi(this);
    connect(ui->clear, &QPushButton::clicked, this, &DataMonitor::clear);
    connect(ui->save, &QPushButton::clicked, this, &DataMonitor::saveContentToFile);
}

DataMonitor::~DataMonitor()
{
    delete ui;
}

void DataMonitor::addMsg(QString source, const QByteArray& data)
{
    QTableWidget* table = ui->tableWidget;
    ++records;
    if (table->rowCount() >= maxRows)
        dropOldest(trimBatch);
    const int nul = data.indexOf('\0');
    const QStringList cells{
        QString::number(records),
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
        source,
        QString::number(data.size()),
        QString::fromLocal8Bit(nul < 0 ? data : data.left(nul)),
        hexWithSpaces(data),
    };
    const qint64 chars = cells.at(4).size() + cells.at(5).size();
    if (totalChars + chars > maxTextChars) {
        // Drop a tenth of the budget's worth at once, not a row per record.
        qint64 excess = totalChars + chars - maxTextChars + maxTextChars / 10;
        int count = 0;
        for (qint64 c : rowChars) {
            if (excess <= 0)
                break;
            excess -= c;
            ++count;
        }
        dropOldest(count);
    }
    const int row = table->rowCount();
    table->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    rowChars.push_back(chars);
    totalChars += chars;
}

void DataMonitor::dropOldest(int count)
{
    count = qMin(count, ui->tableWidget->rowCount());
    if (count <= 0)
        return;
    ui->tableWidget->model()->removeRows(0, count);
    for (int i = 0; i < count; ++i) {
        totalChars -= rowChars.front();
        rowChars.pop_front();
    }
}

void DataMonitor::clear()
{
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
    rowChars.clear();
    totalChars = 0;
}

int DataMonitor::rowCount() const
{
    return ui->tableWidget->rowCount();
}

QString DataMonitor::cellText(int row, int column) const
{
    const QTableWidgetItem* item = ui->tableWidget->item(row, column);
    return item ? item->text() : QString();
}

void DataMonitor::saveContentToFile()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("choose file"), QStringLiteral("/"),
                                                      tr("txt files(*.txt)"));
    if (!path.isEmpty())
        saveToFile(path);
}

bool DataMonitor::saveToFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QTableWidget* table = ui->tableWidget;
    QString text;
    for (int c = 0; c < table->columnCount(); ++c)
        text += table->horizontalHeaderItem(c)->text() + QLatin1Char('\t');
    text += QLatin1String("\r\n");
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c)
            text += cellText(r, c) + QLatin1Char('\t');
        text += QLatin1String("\r\n");
    }
    const bool ok = file.write(text.toLocal8Bit()) >= 0;
    file.close();
    return ok;
}

void DataMonitor::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        const QString title = windowTitle();
        ui->retranslateUi(this);
        setWindowTitle(title);
    }
    QWidget::changeEvent(event);
}
