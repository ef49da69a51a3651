#pragma once

#include <QString>
#include <QStringList>

// The command line, read before the window toolkit starts, so that --help
// and --version answer on a terminal without a display and an unknown option
// never opens a window.
//
// The tool has two options of its own, following GNU conventions:
// --help (-h) and --version (-v). Qt's own options (-platform, -stylesheet,
// -style, -geometry ...) are left for QApplication, which takes them out of
// the arguments when it starts. Anything else is an error.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString error; // for Error: what was wrong, in French

    static CommandLine parse(const QStringList &arguments); // arguments[0] is the program
    static QString usage();   // the --help text, in French
    static QString version(); // "vantrel 0.1.0"
};
