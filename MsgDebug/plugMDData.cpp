#include "plugMDData.h"

#include <QLabel>

plugMDData::plugMDData(QWidget* parent)
    : QWidget(parent)
    , managerWidget(new QLabel(QStringLiteral("plugMDData")))
{
}

plugMDData::~plugMDData()
{
    delete managerWidget;
}

QWidget* plugMDData::GetManagerWidget()
{
    return managerWidget;
}

QWidget* plugMDData::GetDataWidget()
{
    return this;
}
