#pragma once

#include <QLoggingCategory>

// Debug lines of this module: off by default, on with "vxa --verbose" or QT_LOGGING_RULES.
inline const QLoggingCategory& lcAssist()
{
    static const QLoggingCategory category("vxa.assist", QtWarningMsg);
    return category;
}
