#pragma once

#include <QPointer>
#include <QWidget>

// Placeholder for the tool until it is built: an empty manager page and data page.
class plugVComData : public QWidget
{
    Q_OBJECT
public:
    explicit plugVComData(QWidget* parent = nullptr);
    ~plugVComData() override;

    QWidget* getManagerWidget();


private:
    QPointer<QWidget> managerWidget; // the tool box may delete it first
};
