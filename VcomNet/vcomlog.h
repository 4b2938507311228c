#pragma once

#include <QLoggingCategory>

// Debug lines of the VCOM tool ("vxa.vcom"); debug is off unless the rules turn it on.
Q_DECLARE_LOGGING_CATEGORY(lcVcom)
