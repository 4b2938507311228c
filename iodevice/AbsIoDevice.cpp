#include "AbsIoDevice.h"

AbsIoDevice::AbsIoDevice(QObject* /*parent*/)
    : QObject(nullptr)
{
}

AbsIoDevice::~AbsIoDevice() = default;

bool AbsIoDevice::isValid()
{
    return valid;
}

std::wstring AbsIoDevice::getErrMsg()
{
    return std::wstring();
}

void AbsIoDevice::setReadPaused(bool paused)
{
    readPaused = paused;
}

void AbsIoDevice::close()
{
    valid = false;
}
