#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// Reads arguments into parser and returns why they cannot be taken: an
// unknown option, a missing value, or a word that no option takes (none of
// the programs takes one). Empty when they can.
QString readArguments(QCommandLineParser &parser, const QStringList &arguments);

#endif
