#pragma once

#include <QString>

// The application directory: where config/, languages/ and service/ live.
// It is QCoreApplication::applicationDirPath() unless a test has set another one,
// so that tests never read or write the user's files.
QString appDirPath();
void setAppDirPath(const QString& dir);
