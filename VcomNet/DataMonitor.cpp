#include "DataMonitor.h"

#include "appdir.h"
#include "commonhelpers.h"
#include "desktopfit.h"
#include "statusmessages.h"
#include "tablelayout.h"

#include "ui_DataMonitor.h"

#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QTextCodec>
#include <QTimer>

namespace {
// Whole text of a cell whose display is shortened.
constexpr int fullTextRole = Qt::UserRole + 1;
const QString timeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
} // namespace


DataMonitor::DataMonitor(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_DataMonitor)
{
    ui->setupUi(this);
    // The form's white background with the text colour that reads on it; the style
    // sheet does not colour the table's cells, so the table gets both in its palette.
    const QColor text = desktopfit::textColourOn(Qt::white);
    setStyleSheet(styleSheet() + desktopfit::colourRule("color", text));
    QPalette cells = ui->tableWidget->palette();
    cells.setColor(QPalette::Base, Qt::white);
    cells.setColor(QPalette::Text, text);
    ui->tableWidget->setPalette(cells);
    batchTimer = new QTimer(this);
    batchTimer->setSingleShot(true);
    batchTimer->setInterval(batchIntervalMs);
    connect(batchTimer, &QTimer::timeout, this, &DataMonitor::flushPending);
    connect(ui->clear, &QPushButton::clicked, this, &DataMonitor::clear);
    connect(ui->save, &QPushButton::clicked, this, &DataMonitor::saveContentToFile);

    // Number, time, source and length at the width of their longest values; the
    // content gets a reasonable start and the hex dump the rest.
    const QString time = QDateTime(QDate(2026, 12, 28), QTime(23, 59, 58)).toString(timeFormat);
    fitColumnsToSamples(ui->tableWidget, {{0, {QStringLiteral("9999999")}},
                                          {1, {time}},
                                          {2, {QStringLiteral("ttyS99999"), QStringLiteral("Tcp Server"),
                                               QStringLiteral("Tcp Client")}},
                                          {3, {QStringLiteral("65536")}}});
    ui->tableWidget->setColumnWidth(4, QFontMetrics(ui->tableWidget->font()).averageCharWidth() * 28);
    setRowsToTextHeight(ui->tableWidget);
    rememberHeaderState(ui->tableWidget->horizontalHeader(), QStringLiteral("vcomMonitor"));
    // Widths remembered with a smaller font must not cut a title.
    desktopfit::fitHeaderToText(ui->tableWidget->horizontalHeader());
}

DataMonitor::~DataMonitor()
{
    delete ui;
}

void DataMonitor::addMsg(QString source, const QByteArray& data)
{
    ++records;
    const int nul = data.indexOf('\0');
    Record record;
    record.cells = QStringList{
        QString::number(records),
        QDateTime::currentDateTime().toString(timeFormat),
        source,
        QString::number(data.size()),
        QString::fromLocal8Bit(nul < 0 ? data : data.left(nul)),
        str2HexArray(data),
    };
    record.chars = record.cells.at(4).size() + record.cells.at(5).size();
    pendingChars += record.chars;
    pending.push_back(std::move(record));
    // What would be trimmed right after display need not wait for it.
    while (pending.size() > 1 && (pendingChars > maxTextChars || int(pending.size()) > maxRows)) {
        pendingChars -= pending.front().chars;
        pending.pop_front();
    }
    if (!batchTimer->isActive())
        batchTimer->start();
}

void DataMonitor::flushPending()
{
    batchTimer->stop();
    if (pending.empty())
        return;
    QTableWidget* table = ui->tableWidget;
    table->setUpdatesEnabled(false);
    while (!pending.empty()) {
        appendRow(pending.front().cells, pending.front().chars);
        pending.pop_front();
    }
    pendingChars = 0;
    table->setUpdatesEnabled(true);
}

void DataMonitor::appendRow(const QStringList& cells, qint64 chars)
{
    QTableWidget* table = ui->tableWidget;
    if (table->rowCount() >= maxRows)
        dropOldest(trimBatch);
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
    for (int c = 0; c < cells.size(); ++c) {
        const QString& text = cells.at(c);
        auto* item = new QTableWidgetItem;
        if (text.size() > displayChars) {
            item->setText(text.left(displayChars) + QChar(0x2026));
            item->setData(fullTextRole, text);
        } else {
            item->setText(text);
        }
        table->setItem(row, c, item);
    }
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
    pending.clear();
    pendingChars = 0;
    batchTimer->stop();
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
    rowChars.clear();
    totalChars = 0;
}

int DataMonitor::rowCount()
{
    flushPending();
    return ui->tableWidget->rowCount();
}

QString DataMonitor::cellText(int row, int column)
{
    flushPending();
    const QTableWidgetItem* item = ui->tableWidget->item(row, column);
    if (!item)
        return QString();
    const QVariant full = item->data(fullTextRole);
    return full.isValid() ? full.toString() : item->text();
}

void DataMonitor::saveContentToFile()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("choose file"), saveDialogDir(),
                                                      tr("txt files(*.txt)"));
    if (path.isEmpty())
        return;
    if (saveToFile(path))
        StatusMessages::post(tr("Monitor saved to %1").arg(path));
    else
        StatusMessages::post(tr("Monitor could not be saved to %1").arg(path));
}

bool DataMonitor::saveToFile(const QString& path)
{
    flushPending();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTableWidget* table = ui->tableWidget;
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
