#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstring>

namespace CommandLine {

namespace {
const char* const context = "CommandLine";

void setUp(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        context, "Toolbox for commissioning serial-to-Ethernet device servers: serial and network "
                 "debugging assistant, IP manager, message debugging and virtual serial ports."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("verbose"),
                      QCoreApplication::translate(context, "Print the debug lines of every tool on standard error.")});
    // Given by the instance that restarts the program as administrator; not for users.
    QCommandLineOption notify(QStringLiteral("restart-notify"), QString(), QStringLiteral("socket"));
    notify.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(notify);
}

bool isInformational(const char* arg)
{
    for (const char* name : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
        if (std::strcmp(arg, name) == 0)
            return true;
    return false;
}
} // namespace

bool answerInformational(int argc, char** argv, int* exitCode)
{
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i)
        asked = isInformational(argv[i]);
    if (!asked)
        return false;
    // A core application only: no platform plugin, no display.
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    setUp(parser);
    parser.parse(core.arguments()); // Qt's own options (-platform ...) are not errors here
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits
    parser.showHelp(0);       // exits
    *exitCode = 0;
    return true;
}

Options parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    setUp(parser);
    Options options;
    options.valid = parser.parse(arguments);
    options.errorText = parser.errorText();
    options.verbose = parser.isSet(QStringLiteral("verbose"));
    options.restartNotify = parser.value(QStringLiteral("restart-notify"));
    return options;
}

void enableVerboseLogging()
{
    // QT_LOGGING_RULES still overrides these rules.
    QLoggingCategory::setFilterRules(QStringLiteral("vxa.*=true"));
}

} // namespace CommandLine
