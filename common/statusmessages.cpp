#include "statusmessages.h"

#include <QCoreApplication>
#include <QPointer>

StatusMessages* StatusMessages::instance()
{
    static QPointer<StatusMessages> hook;
    if (!hook)
        hook = new StatusMessages(QCoreApplication::instance());
    return hook;
}

void StatusMessages::post(const QString& text)
{
    emit instance()->message(text, timeoutMs);
}
