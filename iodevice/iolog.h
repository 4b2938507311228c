#pragma once

#include <QLoggingCategory>

// Debug lines of the I/O devices ("vxa.iodevice"); debug is off unless the rules turn it on.
Q_DECLARE_LOGGING_CATEGORY(lcIo)
