// The program's command line: switches and file arguments.
//
// A token is a switch only when it is "/printto" or "/showpar" (ASCII case ignored) or begins
// with "--"; the switch name is the text after the "/" or the "--". Every other token is a file
// argument, so absolute paths such as "/home/x/plan.akt" are files.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace planora {

// Commands run once the main window exists.
inline constexpr int kCommandPrintFromCommandLine = 98;
inline constexpr int kCommandOpenCommandLineFiles = 99;
inline constexpr int kCommandShowMainWindow = 999;

struct CommandLine {
    QStringList switches;   // names without "/" or "--", in command-line order
    QStringList arguments;  // file arguments in order

    // True when `name` is among the switches, ASCII case ignored.
    bool hasSwitch(const QString& name) const;
    // "printto": print the file given and end.
    bool printMode() const { return hasSwitch(QStringLiteral("printto")); }
};

// Parses one command-line text. Blanks (space, tab, line feed, vertical tab, form feed,
// carriage return) separate tokens; switches are recognised at the start of every
// blank-separated token, also inside quotes, and removed. An argument that begins with a double
// quote runs to the next double quote or the end of the line, blanks included; trailing blanks
// of every argument are removed.
CommandLine parseCommandLine(const QString& line);

// Parses the arguments main() receives (without the program name). Each element is one token;
// the shell has already removed quotes, and blanks inside an element belong to it. After a bare
// "--" every further element is a file argument, so files whose names begin with "--" can be
// opened.
CommandLine parseCommandLine(const QStringList& args);

// What the program does with its command line before any window is made.
enum class StartAction {
    ShowHelp,     // "--help": print helpText() and exit with 0
    ShowVersion,  // "--version": print versionText() and exit with 0
    Run,          // the normal start (the print mode included)
};
StartAction startAction(const CommandLine& cl);

// The commands posted once the main window exists, in order: 98 alone in print mode; otherwise
// 999 and, when there are file arguments, 99.
std::vector<int> startupCommands(const CommandLine& cl);

// Version of this build, e.g. "0.1.0".
QString programVersion();

QString helpText();
QString versionText();

}  // namespace planora
