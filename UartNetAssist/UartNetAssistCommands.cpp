// The panel's side of saved commands: it sends what a run asks and tells whether it can.
#include "UartNetAssist.h"
#include "ui_UartNetAssist.h"

#include "AbsIoDevice.h"

bool UartNetAssist::isDeviceOpen() const
{
    return device && device->isValid();
}

bool UartNetAssist::commandSendReady() const
{
    return deviceBacklog() <= periodicBacklogLimit;
}

bool UartNetAssist::sendForCommand(const QByteArray& bytes, bool raw, QByteArray* sent, QString* error)
{
    if (!checkSendableStatus()) {
        *error = lastError;
        return false;
    }
    // The same frame as the Send button makes, without touching the send box.
    const QByteArray frame = raw ? bytes : withAddition(withChecksum(bytes));
    writeFrame(frame);
    sendCount += static_cast<quint32>(frame.size());
    updateCount();
    if (sent)
        *sent = frame;
    return true;
}
