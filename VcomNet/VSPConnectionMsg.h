#pragma once

#include "VSPConnection.h"

#include <QWidget>

class ConnectionUnit;
class DataMonitor;
class QHBoxLayout;
class QLabel;
class QPushButton;

// The information panel of one VCOM connection: its two bridge units side by side,
// the data monitor, deletion and counter reset.
class VSPConnectionMsg : public QWidget
{
    Q_OBJECT
public:
    VSPConnectionMsg(VSP_CONNECTION_TYPE type, const VSP_CONNECTION_PARAMS& params, int idx,
                     QWidget* parent = nullptr);
    ~VSPConnectionMsg() override;

    void release();
    bool isComBusy();

    // The socat process of this connection, which holds the port and does not count as a user.
    void setPairProcessId(qint64 pid) { pairProcessId = pid; }
    int id() const { return connectionId; }
    ConnectionUnit* firstUnit() const { return unitA; }
    ConnectionUnit* secondUnit() const { return unitB; }
    DataMonitor* dataMonitor() const { return monitor; }
    // Why the bridge does not work, one line per failed side; empty while it works.
    QString failureText() const;
    // Adds a line to the status shown under the title (for example that it was not saved).
    void addStatusNote(const QString& note);

signals:
    void deleteConnection_signal(int idx);

protected:
    void changeEvent(QEvent* event) override;

private:
    void setupMsgByType(VSP_CONNECTION_TYPE type, const VSP_CONNECTION_PARAMS& params);
    void setupSignals();
    void retranslate();
    void openMonitor();
    void askDelete();
    void showStatus();

    int connectionId = 0;
    VSP_CONNECTION_TYPE connectionType = CONNECTION_PAIR;
    QString comName1;
    QString comName2;
    ConnectionUnit* unitA = nullptr;
    ConnectionUnit* unitB = nullptr;
    DataMonitor* monitor = nullptr;
    qint64 pairProcessId = 0;

    QLabel* title = nullptr;
    QLabel* status = nullptr; // failures of the bridge, hidden while there are none
    QStringList statusNotes;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QPushButton* data_monitor = nullptr;
    QPushButton* delete_connection = nullptr;
    QPushButton* reset_count = nullptr;
};
