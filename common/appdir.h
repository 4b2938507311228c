#pragma once

#include <QString>

// The application directory: the executable and its installed files (config/version.ini,
// languages/). It is QCoreApplication::applicationDirPath() unless a test has set another
// one, so that tests never read or write the user's files.
QString appDirPath();
void setAppDirPath(const QString& dir);

// The directory the tools save into (config/system.ini, config/assist.ini, config/debug.ini,
// service/connection/, connection sets). The application directory while it is writable and
// not a system installation (the build tree, tests); otherwise $XDG_CONFIG_HOME/vxa
// (default ~/.config/vxa), with the same relative names below it.
QString dataDirPath();

// dataDirPath() + "/" + relative: where a file is written.
QString dataFilePath(const QString& relative);

// Where a file is read: the saved copy if there is one, else the application directory's
// (installed defaults such as a system-wide config/system.ini or languages/<lang>).
QString readFilePath(const QString& relative);

// Creates the directory that will hold dataFilePath(relative); false with a text if impossible.
bool makeDataDirFor(const QString& relative, QString* error = nullptr);

// Where a dialog for saving a file starts: the data folder (made if missing), else the
// home folder; never the program's own folder or "/", which an ordinary user cannot write.
QString saveDialogDir();
