// korvane-info: prints what the "Platforms" and "OpenGL" dialogs show.

#include "clinventory.h"
#include "display.h"
#include "glreport.h"
#include "inforeport.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

void print(FILE *stream, const QString &text)
{
    fputs(text.toLocal8Bit().constData(), stream);
    fflush(stream);
}

// The report is the program's only output: the toolkit's own notes (such as
// a missing runtime folder) would only be noise to a script reading it.
void dropToolkitNotes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        print(stderr, message + QLatin1Char('\n'));
}

QString openGlSection(int argc, char *argv[])
{
    if (!displayReachable())
        return InfoReport::openGlWithoutDisplay();
    qInstallMessageHandler(dropToolkitNotes);
    QApplication app(argc, argv);
    return InfoReport::openGl(queryGlStrings());
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            print(stdout, InfoReport::usage());
            return 0;
        }
        print(stderr, QStringLiteral("korvane-info: unknown argument \"%1\"\n\n")
                          .arg(QString::fromLocal8Bit(argv[i]))
                          + InfoReport::usage());
        return 2;
    }

    ClInventory inventory;
    std::memset(&inventory, 0, sizeof inventory);
    const cl_int status = scanOpenClInventory(inventory);
    const bool listed = status == CL_SUCCESS;
    print(stdout, InfoReport::openCl(inventory, status));
    releaseOpenClInventory(inventory);

    print(stdout, openGlSection(argc, argv));
    return listed ? 0 : 1;
}
