#pragma once

#include <QPointer>
#include <QWidget>

// Placeholder for the tool until it is built: an empty manager page and data page.
class plugUartNetData : public QWidget
{
    Q_OBJECT
public:
    explicit plugUartNetData(QWidget* parent = nullptr);
    ~plugUartNetData() override;

    QWidget* GetManagerWidget();
    QWidget* GetDataWidget();

private:
    QPointer<QWidget> managerWidget; // the tool box may delete it first
};
