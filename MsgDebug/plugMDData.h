#pragma once

#include <QPointer>
#include <QWidget>

// Placeholder for the tool until it is built: an empty manager page and data page.
class plugMDData : public QWidget
{
    Q_OBJECT
public:
    explicit plugMDData(QWidget* parent = nullptr);
    ~plugMDData() override;

    QWidget* GetManagerWidget();
    QWidget* GetDataWidget();

private:
    QPointer<QWidget> managerWidget; // the tool box may delete it first
};
