#pragma once

#include <QStringList>

// The program's own options. --help and --version are answered before any display is
// opened, so they work on a console, over ssh and in scripts.
namespace CommandLine {

// Prints the help or the version if argv asks for it; then returns true and the exit code.
bool answerInformational(int argc, char** argv, int* exitCode);

struct Options
{
    bool verbose = false;
    QString restartNotify; // set when started by "Restart as administrator"
    bool valid = true;
    QString errorText;
};

// The options left after the application object took its own (-platform and the like).
Options parse(const QStringList& arguments);

// Debug lines of every tool on, unless QT_LOGGING_RULES says otherwise.
void enableVerboseLogging();

} // namespace CommandLine
