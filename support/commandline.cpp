#include "commandline.h"

#include "display.h"

#include <cstdio>

namespace {

// Qt lists its own options only in a GUI application's help, and prints
// the whole help itself.
int answerHelpAll(int &argc, char *argv[], const char *program, QCommandLineParser &parser)
{
    const QString unreachable = windowSystemProblem(argc, argv);
    if (!unreachable.isEmpty()) {
        print(stderr, QStringLiteral("%1: --help-all lists Qt's options, which needs the window system: %2\n")
                          .arg(QLatin1String(program), unreachable));
        return 2;
    }
    const std::unique_ptr<QApplication> app = startGuiApplication(argc, argv, program);
    parser.process(QStringList{ QApplication::arguments().value(0), QStringLiteral("--help-all") });
    return 0;
}

} // namespace

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void addCommonOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
}

int answerHelpOrVersion(int &argc, char *argv[], const char *program, QCommandLineParser &parser)
{
    {
        QCoreApplication core(argc, argv);
        // A wrong argument is refused once Qt has taken its own out.
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(QStringLiteral("help"))) {
            print(stdout, parser.helpText());
            return 0;
        }
        if (parser.isSet(QStringLiteral("version"))) {
            print(stdout, QStringLiteral("%1 %2\n").arg(QLatin1String(program), QStringLiteral(KORVANE_VERSION)));
            return 0;
        }
    }
    return parser.isSet(QStringLiteral("help-all")) ? answerHelpAll(argc, argv, program, parser) : -1;
}

QString readArguments(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(withoutWindowSystemOptions(arguments)))
        return parser.errorText();
    for (const QString &name : parser.optionNames()) {
        if (parser.values(name).contains(QString()))
            return QStringLiteral("--%1 was given an empty value").arg(name);
    }
    const QStringList words = parser.positionalArguments();
    return words.isEmpty() ? QString() : QStringLiteral("unexpected argument \"%1\"").arg(words.first());
}
