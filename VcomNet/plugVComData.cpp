#include "plugVComData.h"

#include <QLabel>

plugVComData::plugVComData(QWidget* parent)
    : QWidget(parent)
    , managerWidget(new QLabel(QStringLiteral("plugVComData")))
{
}

plugVComData::~plugVComData()
{
    delete managerWidget;
}

QWidget* plugVComData::getManagerWidget()
{
    return managerWidget;
}

