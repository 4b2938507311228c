#pragma once

#include <QPointer>
#include <QWidget>

// Placeholder for the tool until it is built: an empty manager page and data page.
class IPManager : public QWidget
{
    Q_OBJECT
public:
    explicit IPManager(QWidget* parent = nullptr);
    ~IPManager() override;

    QWidget* GetManagerWidget();


private:
    QPointer<QWidget> managerWidget; // the tool box may delete it first
};
