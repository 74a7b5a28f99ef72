#include "commandline.h"

QString readArguments(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments))
        return parser.errorText();
    const QStringList words = parser.positionalArguments();
    return words.isEmpty() ? QString() : QStringLiteral("unexpected argument \"%1\"").arg(words.first());
}
