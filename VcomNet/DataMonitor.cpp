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
        table->model()->removeRows(0, trimBatch);
    const int row = table->rowCount();
    table->insertRow(row);
    const int nul = data.indexOf('\0');
    const QStringList cells{
        QString::number(records),
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
        source,
        QString::number(data.size()),
        QString::fromLocal8Bit(nul < 0 ? data : data.left(nul)),
        hexWithSpaces(data),
    };
    for (int c = 0; c < cells.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
}

void DataMonitor::clear()
{
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
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
