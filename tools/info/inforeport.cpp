#include "inforeport.h"

#include "inventoryreport.h"

#include <QStringList>

namespace InfoReport {

QString row(const QString &text, int depth)
{
    const QString indent(2 * depth, QLatin1Char(' '));
    QString result;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        // An empty row stays an empty line, without trailing blanks.
        result += (line.isEmpty() ? QString() : indent + line) + QLatin1Char('\n');
    }
    return result;
}

QString openCl(const ClInventory &inventory, cl_int scanStatus)
{
    if (scanStatus != CL_SUCCESS)
        return scanFailureText(scanStatus);
    QString text;
    for (const InventoryRow &each : inventoryRows(inventory))
        text += row(each.text, each.depth);
    return text;
}

QString openGl(const GlStrings &strings)
{
    using namespace GlFormat;
    const QStringList extensions = extensionList(strings.extensions);
    QString text = row(QStringLiteral("OpenGL"), 0);
    text += row(plainText(QStringLiteral("Version"), shown(strings.version)), 1);
    text += row(plainText(QStringLiteral("Vendor"), shown(strings.vendor)), 1);
    text += row(plainText(QStringLiteral("Renderer"), shown(strings.renderer)), 1);
    text += row(extensionsHeader(extensions.size()), 1);
    for (const QString &extension : extensions)
        text += row(extension, 2);
    if (strings.extensions.isNull())
        text += row(unavailable(), 2);
    return text;
}

QString openGlWithoutDisplay()
{
    return row(QStringLiteral("OpenGL"), 0)
           + row(QStringLiteral("no display: OpenGL is asked on an X display (set DISPLAY)"), 1);
}

QString usage()
{
    return QStringLiteral(
        "Usage: korvane-info [--help]\n"
        "\n"
        "Prints every OpenCL platform and device with the properties the\n"
        "\"Platforms\" dialog shows, one row a line, indented by tree level,\n"
        "then the OpenGL version, vendor, renderer and extension list of the\n"
        "\"OpenGL\" dialog. OpenCL needs no display; OpenGL is asked on the X\n"
        "display named by DISPLAY and is left out when there is none.\n"
        "\n"
        "Options:\n"
        "  -h, --help   show this text and exit\n"
        "\n"
        "Exit status: 0 when the OpenCL platforms were listed, 1 when the\n"
        "OpenCL scan failed or found no platform (OpenCL drivers are registered\n"
        "in /etc/OpenCL/vendors), 2 for a wrong argument.\n");
}

} // namespace InfoReport
