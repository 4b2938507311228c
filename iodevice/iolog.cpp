#include "iolog.h"

Q_LOGGING_CATEGORY(lcIo, "vxa.iodevice", QtWarningMsg)
