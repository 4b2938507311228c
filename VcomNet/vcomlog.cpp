#include "vcomlog.h"

Q_LOGGING_CATEGORY(lcVcom, "vxa.vcom", QtWarningMsg)
