#include "inforeport.h"

#include "display.h"
#include "inventoryreport.h"

#include <QJsonArray>
#include <QStringList>

namespace InfoReport {

namespace {

QString deviceIndex(int platform, int device)
{
    return QStringLiteral("%1:%2").arg(platform).arg(device);
}

// A row as its "name", its text after the prefix as "value" (a list as an
// array, however many items it holds) and the driver's value as "typed".
// A row without text in the dialog keeps its name and typed value.
QJsonArray jsonRows(const QVector<PropertyRow> &rows)
{
    QJsonArray result;
    for (const PropertyRow &row : rows) {
        result << QJsonObject{ { QStringLiteral("name"), row.name },
                               { QStringLiteral("value"), row.shown },
                               { QStringLiteral("typed"), row.typed } };
    }
    return result;
}

QJsonValue jsonOpenGl(const GlStrings *gl)
{
    if (!gl)
        return QJsonValue();
    if (!gl->haveContext)
        return QJsonObject{ { QStringLiteral("error"), QLatin1String(noGlContextText()) } };
    return QJsonObject{ { QStringLiteral("version"), GlFormat::shown(gl->version) },
                        { QStringLiteral("vendor"), GlFormat::shown(gl->vendor) },
                        { QStringLiteral("renderer"), GlFormat::shown(gl->renderer) },
                        { QStringLiteral("extensions"), QJsonArray::fromStringList(GlFormat::extensionList(gl->extensions)) } };
}

} // namespace

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
    int platform = -1;
    int device = -1;
    for (const InventoryRow &each : inventoryRows(inventory)) {
        if (each.kind == InventoryRow::Platform) {
            ++platform;
            device = -1;
        }
        const bool isDevice = each.kind == InventoryRow::Device;
        device += isDevice ? 1 : 0;
        text += row(isDevice ? each.text + QStringLiteral(" (%1)").arg(deviceIndex(platform, device)) : each.text,
                    each.depth);
    }
    return text;
}

QJsonObject json(const ClInventory &inventory, cl_int scanStatus, const GlStrings *gl)
{
    QJsonObject report{ { QStringLiteral("opengl"), jsonOpenGl(gl) } };
    QJsonArray platforms;
    for (cl_uint p = 0; scanStatus == CL_SUCCESS && p < inventory.numPlatforms; ++p) {
        const ClPlatformEntry &platform = inventory.platforms[p];
        QJsonArray devices;
        for (cl_uint d = 0; d < platform.numDevices; ++d) {
            devices << QJsonObject{ { QStringLiteral("index"), deviceIndex(int(p), int(d)) },
                                    { QStringLiteral("name"), QString::fromLatin1(platform.devices[d].name) },
                                    { QStringLiteral("rows"), jsonRows(deviceProperties(platform.devices[d])) } };
        }
        platforms << QJsonObject{ { QStringLiteral("name"), QString::fromLatin1(platform.name) },
                                  { QStringLiteral("rows"), jsonRows(platformProperties(platform)) },
                                  { QStringLiteral("devices"), devices } };
    }
    report.insert(QStringLiteral("platforms"), platforms);
    if (scanStatus != CL_SUCCESS)
        report.insert(QStringLiteral("error"), scanFailureText(scanStatus).trimmed());
    return report;
}

QString openGl(const GlStrings &strings)
{
    using namespace GlFormat;
    const QStringList extensions = extensionList(strings.extensions);
    QString text = row(QStringLiteral("OpenGL"), 0);
    if (!strings.haveContext)
        return text + row(QLatin1String(noGlContextText()), 1);
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

QString openGlWithoutDisplay(const QString &why)
{
    return row(QStringLiteral("OpenGL"), 0) + row(QStringLiteral("no display: ") + why, 1);
}

QString description()
{
    return QStringLiteral(
        "Prints every OpenCL platform and device with the properties the \"Platforms\"\n"
        "dialog shows, one row a line, indented by tree level, each device with the\n"
        "index P:D that korvane --device and korvane-bench --device take; then the\n"
        "OpenGL version, vendor, renderer and extension list of the \"OpenGL\" dialog.\n"
        "OpenCL needs no display; OpenGL is asked on the window system Qt starts (the\n"
        "X display named by -display or DISPLAY, or the platform named by -platform or\n"
        "QT_QPA_PLATFORM), and without one the report says why in its place.\n"
        "Exit status: 0 when the OpenCL platforms were listed, 1 when the OpenCL scan\n"
        "failed or found no platform (OpenCL drivers are registered in\n"
        "/etc/OpenCL/vendors, or where OCL_ICD_VENDORS points), 2 for a wrong argument\n"
        "or a platform that Qt cannot start.");
}

} // namespace InfoReport
