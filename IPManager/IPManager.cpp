#include "IPManager.h"

#include <QLabel>

IPManager::IPManager(QWidget* parent)
    : QWidget(parent)
    , managerWidget(new QLabel(QStringLiteral("IPManager")))
{
}

IPManager::~IPManager()
{
    delete managerWidget;
}

QWidget* IPManager::GetManagerWidget()
{
    return managerWidget;
}

