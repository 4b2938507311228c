#pragma once

#include <QDialog>
#include <QStringList>

class Ui_dlgConnectParam;

// Asks for the device address of a new debug session and remembers the last five
// addresses in config/debug.ini below the application directory.
class dlgConnectParam : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MaxHistory = 5;

    explicit dlgConnectParam(QWidget* parent = nullptr);
    ~dlgConnectParam() override;

    void accept() override;
    void updateIpHistory();

    QString ip;
    QString port;
    QStringList history; // oldest first

protected:
    void changeEvent(QEvent* event) override;

private:
    Ui_dlgConnectParam* ui = nullptr;
};
