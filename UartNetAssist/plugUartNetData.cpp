#include "plugUartNetData.h"

#include <QLabel>

plugUartNetData::plugUartNetData(QWidget* parent)
    : QWidget(parent)
    , managerWidget(new QLabel(QStringLiteral("plugUartNetData")))
{
}

plugUartNetData::~plugUartNetData()
{
    delete managerWidget;
}

QWidget* plugUartNetData::GetManagerWidget()
{
    return managerWidget;
}

QWidget* plugUartNetData::GetDataWidget()
{
    return this;
}
