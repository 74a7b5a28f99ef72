#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdio>

// The programs' command lines: their own options beside Qt's. Qt takes its
// options (-platform, -display, -style, ...) out of the arguments when it
// builds a GUI application; what it leaves must be the program's.

// Writes text to stream (stdout, stderr) in the locale's encoding, at once.
void print(FILE *stream, const QString &text);

// Adds --help, --help-all and --version, which every program takes, and
// reads a single-dash word as Qt reads its own options: -reverse is one
// option, not -r -e -v ...
void addCommonOptions(QCommandLineParser &parser);

// Answers --help and --version from the arguments as given, Qt's among
// them, before the program builds its application, and leaves them read
// into parser. --help-all lists Qt's options too, which only a GUI
// application knows: it builds one, or says in one line why the window
// system cannot be reached. Returns the exit status when it answered,
// else -1.
int answerHelpOrVersion(int &argc, char *argv[], const char *program, QCommandLineParser &parser);

// Reads arguments into parser and returns why they cannot be taken: an
// unknown option, a missing or empty value, or a word that no option takes
// (none of the programs takes one). Empty when they can. The window-system
// options are Qt's even where it has not started (see display.h).
QString readArguments(QCommandLineParser &parser, const QStringList &arguments);

#endif
