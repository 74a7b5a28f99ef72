#include "clfault.h"
#include "inforeport.h"
#include "inventoryreport.h"
#include "oclinfo.h"
#include "oglinfo.h"
#include "wrappingdelegate.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <functional>
#include <memory>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

// The "Platforms" and "OpenGL" dialogs and korvane-info, which prints what
// they show.
class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void platformsStandExpandedAboveTheirCollapsedDevices();
    void aDevicePropertyShowsAsItsRowText_data();
    void aDevicePropertyShowsAsItsRowText();
    void aRowKeepsItsNameTextAndValueInJson_data();
    void aRowKeepsItsNameTextAndValueInJson();
    void unterminatedTextIsReadNoFurtherThanItsField();
    void openGlDialogShowsTheDriverStringsAndLeavesNoContextCurrent();
    void reportListsTheOpenGlExtensionsApartByRunsOfBlanks();
    void korvaneInfoSaysWhereDriversAreRegistered();
    void korvaneInfoPrintsWhatTheDialogsShow();
    void korvaneInfoAgreesWithClinfo_data();
    void korvaneInfoAgreesWithClinfo();
    void extensionNamesWrapOnlyAfterUnderscores();

private:
    std::unique_ptr<oclInfo> realPlatforms;
    std::unique_ptr<oglinfo> openGl;
};

namespace {

using Setter = std::function<void(ClDeviceEntry &)>;

QTreeWidget *treeOf(QDialog *dialog)
{
    return dialog->findChild<QTreeWidget *>("twInfo");
}

QString labelOf(QDialog *dialog, const char *name)
{
    return dialog->findChild<QLabel *>(name)->text();
}

// The tree's rows laid out as korvane-info lays them out: two blanks a tree
// level, on every line of a multi-line row.
QString asReport(QTreeWidget *tree, int depth0)
{
    QString text;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        int depth = depth0;
        for (QTreeWidgetItem *parent = (*it)->parent(); parent; parent = parent->parent())
            ++depth;
        for (const QString &line : ((*it)->text(0) + (*it)->text(1)).split('\n'))
            text += (line.isEmpty() ? QString() : QString(2 * depth, ' ') + line) + '\n';
    }
    return text;
}

// Platforms and devices, with their number of rows.
QStringList outlineOf(QTreeWidget *tree)
{
    QStringList outline;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->childCount())
            outline << ((*it)->parent() ? "  " : "") + (*it)->text(0) + QStringLiteral(" (%1)%2")
                           .arg((*it)->childCount()).arg((*it)->isExpanded() ? " expanded" : "");
    }
    return outline;
}

struct Run
{
    int exitCode;
    QString out, err;
};

Run korvaneInfo(const QStringList &arguments, bool withDisplay, const QString &icdVendors = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!withDisplay)
        environment.remove(QStringLiteral("DISPLAY"));
    if (!icdVendors.isNull())
        environment.insert(QStringLiteral("OCL_ICD_VENDORS"), icdVendors);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KORVANE_INFO_PATH), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return { -1, QString(), QStringLiteral("did not finish") };
    return { process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
             QString::fromLocal8Bit(process.readAllStandardError()) };
}


// What clinfo, an OpenCL reader independent of this program, reports of
// the drivers the loader finds, typed: "platforms", and at each platform's
// place in "devices" its devices under "online".
QJsonObject readClinfo()
{
    QProcess clinfo;
    clinfo.start(QStringLiteral("clinfo"), { QStringLiteral("--json") });
    // Without clinfo no platform is read, and the count differs from ours.
    if (!clinfo.waitForFinished(60000) || clinfo.exitCode() != 0)
        qWarning("clinfo --json did not run: %s", qPrintable(clinfo.errorString()));
    // Qt 5.15's parser loses the value it replaces when an object repeats a
    // key, and clinfo repeats one ("OpenCL C"): the leak checker passes over
    // this parse alone.
#ifdef __SANITIZE_ADDRESS__
    __lsan::ScopedDisabler qtParserLosesRepeatedKeys;
#endif
    return QJsonDocument::fromJson(clinfo.readAllStandardOutput()).object();
}

// A JSON value as one line, for messages that show it.
QString compact(const QJsonValue &value)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{ value }).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

// How korvane-info shows a value clinfo reports, by the row it stands in.
enum class As { Text, Words, Flags, Sizes, MHz, MByte, KByte, YesNo, Type, MemType, FpNames, FpBits };

QStringList shown(As as, const QJsonValue &v)
{
    QStringList names;   // a bit field's, under whichever key clinfo gives them
    for (const QString &key : v.toObject().keys())
        names = key == "raw" ? names : v[key].toVariant().toStringList();
    const quint64 n = quint64(v.toDouble());
    switch (as) {
    case As::Text: return { v.isDouble() ? QString::number(n) : v.toString() };
    case As::Words: return v.toString().split(' ', Qt::SkipEmptyParts);
    case As::Flags: return names;
    case As::Sizes: return { v.toVariant().toStringList().mid(0, 3).join('x') };
    case As::MHz: return { QString::number(n) + " MHz" };
    case As::MByte: return { QString::number(n >> 20) + " MByte" };
    case As::KByte: return { QString::number(n >> 10) + " KByte" };
    case As::YesNo: return { v.toBool() ? "yes" : "no" };
    case As::Type: return { names.size() == 1 ? names.first() : "" };   // several types have no one name
    case As::MemType: return { v.toString().mid(3).toLower() };      // CL_LOCAL, CL_GLOBAL
    case As::FpNames: return names.mid(0, names.indexOf(QRegularExpression("CL_FP_(SOFT|CORRECTLY).*")));
    case As::FpBits: return { QString::number(quint64(v["raw"].toDouble())) };
    }
    return {};
}

struct Shown
{
    const char *row;
    const char *property;
    As as;
};

// The name first, which stands beside the rows.
const Shown platformShown[] = {
    { "name", "CL_PLATFORM_NAME", As::Text },
    { "Version", "CL_PLATFORM_VERSION", As::Text },
    { "Vendor", "CL_PLATFORM_VENDOR", As::Text },
    { "Profile", "CL_PLATFORM_PROFILE", As::Text },
    { "Extensions", "CL_PLATFORM_EXTENSIONS", As::Words },
};

// In the order of the rows; a name that stands twice is found by its place.
// The queue's properties have a new name from OpenCL 2.0 on.
const Shown deviceShown[] = {
    { "name", "CL_DEVICE_NAME", As::Text },
    { "Vendor", "CL_DEVICE_VENDOR", As::Text },
    { "Version", "CL_DEVICE_VERSION", As::Text },
    { "Type", "CL_DEVICE_TYPE", As::Type },
    { "CL_DEVICE_MAX_COMPUTE_UNITS", "CL_DEVICE_MAX_COMPUTE_UNITS", As::Text },
    { "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS", "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS", As::Text },
    { "CL_DEVICE_MAX_WORK_ITEM_SIZES", "CL_DEVICE_MAX_WORK_ITEM_SIZES", As::Sizes },
    { "CL_DEVICE_MAX_WORK_GROUP_SIZE", "CL_DEVICE_MAX_WORK_GROUP_SIZE", As::Text },
    { "CL_DEVICE_MAX_CLOCK_FREQUENCY", "CL_DEVICE_MAX_CLOCK_FREQUENCY", As::MHz },
    { "CL_DEVICE_ADDRESS_BITS", "CL_DEVICE_ADDRESS_BITS", As::Text },
    { "CL_DEVICE_MAX_MEM_ALLOC_SIZE", "CL_DEVICE_MAX_MEM_ALLOC_SIZE", As::MByte },
    { "CL_DEVICE_GLOBAL_MEM_SIZE", "CL_DEVICE_GLOBAL_MEM_SIZE", As::MByte },
    { "CL_DEVICE_ERROR_CORRECTION_SUPPORT", "CL_DEVICE_ERROR_CORRECTION_SUPPORT", As::YesNo },
    { "CL_DEVICE_LOCAL_MEM_TYPE", "CL_DEVICE_LOCAL_MEM_TYPE", As::MemType },
    { "CL_DEVICE_LOCAL_MEM_SIZE", "CL_DEVICE_LOCAL_MEM_SIZE", As::KByte },
    { "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE", "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE", As::KByte },
    { "CL_DEVICE_QUEUE_PROPERTIES", "CL_DEVICE_QUEUE_ON_HOST_PROPERTIES", As::Flags },
    { "CL_DEVICE_IMAGE_SUPPORT", "CL_DEVICE_IMAGE_SUPPORT", As::YesNo },
    { "CL_DEVICE_MAX_READ_IMAGE_ARGS", "CL_DEVICE_MAX_READ_IMAGE_ARGS", As::Text },
    { "CL_DEVICE_MAX_WRITE_IMAGE_ARGS", "CL_DEVICE_MAX_WRITE_IMAGE_ARGS", As::Text },
    { "CL_DEVICE_SINGLE_FP_CONFIG", "CL_DEVICE_SINGLE_FP_CONFIG", As::FpNames },
    { "CL_DEVICE_SINGLE_FP_CONFIG", "CL_DEVICE_SINGLE_FP_CONFIG", As::FpBits },
    { "CL_DEVICE_IMAGE2D_MAX_WIDTH", "CL_DEVICE_IMAGE2D_MAX_WIDTH", As::Text },
    { "CL_DEVICE_IMAGE2D_MAX_HEIGHT", "CL_DEVICE_IMAGE2D_MAX_HEIGHT", As::Text },
    { "CL_DEVICE_IMAGE3D_MAX_WIDTH", "CL_DEVICE_IMAGE3D_MAX_WIDTH", As::Text },
    { "CL_DEVICE_IMAGE3D_MAX_HEIGHT", "CL_DEVICE_IMAGE3D_MAX_HEIGHT", As::Text },
    { "CL_DEVICE_IMAGE3D_MAX_DEPTH", "CL_DEVICE_IMAGE3D_MAX_DEPTH", As::Text },
    { "Extensions", "CL_DEVICE_EXTENSIONS", As::Words },
};

} // namespace

Q_DECLARE_METATYPE(Setter)

void DialogsTest::initTestCase()
{
    ClFault::reset();
    realPlatforms.reset(new oclInfo(nullptr));
    openGl.reset(new oglinfo(nullptr));
}

// Platforms stand expanded above their collapsed devices, even one without
// devices listed before the machine's, in the dialog and the report alike;
// no driver at all: said so.
void DialogsTest::platformsStandExpandedAboveTheirCollapsedDevices()
{
    ClFault::setDriver(ClFault::Driver::PlatformWithoutDevice);
    oclInfo emptyFirst(nullptr);
    ClInventory inventory = {};
    const QString report = InfoReport::openCl(inventory, scanOpenClInventory(inventory));
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    oclInfo fake(nullptr);
    // Devices are counted from 0 on each platform.
    QVERIFY(InfoReport::openCl(inventory, scanOpenClInventory(inventory)).contains("Device: Fake Device B2 (1:1)\n"));
    releaseOpenClInventory(inventory);
    ClFault::setDriver(ClFault::Driver::NoPlatform);
    oclInfo none(nullptr);
    ClFault::reset();

    QCOMPARE(outlineOf(treeOf(&fake)), QStringList({ "Fake Platform A (6) expanded", "  Device: Fake Device A1 (27)",
                                                    "  Device: Fake Device A2 (27)", "Fake Platform B (6) expanded",
                                                    "  Device: Fake Device B1 (27)", "  Device: Fake Device B2 (27)" }));
    // A platform's properties stand in the first column, a device's in the second.
    const QTreeWidgetItem *platform = treeOf(&fake)->topLevelItem(1);
    QVERIFY(platform->child(0)->text(0).startsWith("Version: OpenCL"));
    const QTreeWidgetItem *device = platform->child(5);
    QVERIFY(device->child(0)->text(1).startsWith("Vendor: "));
    QVERIFY(device->child(26)->text(1).startsWith("Extensions:\t"));

    const QStringList outline = outlineOf(treeOf(&emptyFirst));
    QCOMPARE(outline.mid(0, 2), QStringList({ "Fake Empty Platform (4) expanded", "Portable Computing Language (5) expanded" }));
    const QString device0 = outline.value(2).remove(QStringLiteral(" (27)"));
    QCOMPARE(report.split('\n').filter(QRegularExpression("^(\\S|  Device: )")),
             QStringList({ "Fake Empty Platform", "Portable Computing Language", device0 + " (1:0)" }));
    QVERIFY(treeOf(&none)->isHidden());
    QVERIFY(labelOf(&none, "lblNoPlatform").startsWith("No OpenCL platform found (CL_PLATFORM_NOT_FOUND_KHR)"));
}

// The typed value is what clinfo --json would give for the same value.
void DialogsTest::aDevicePropertyShowsAsItsRowText_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("typed");
    auto add = [](const char *name, const Setter &set, int row, const char *expected, const char *typed) {
        QTest::newRow(name) << set << row << QString::fromLatin1(expected) << QString::fromLatin1(typed);
    };
#define SET(...) [](ClDeviceEntry &e) { __VA_ARGS__; }
    static size_t sizes[4] = { 1024, 256, 16, 8 };
    add("a number uses all 32 bits", SET(e.maxComputeUnits = 0xFFFFFFFFu), 4,
        "CL_DEVICE_MAX_COMPUTE_UNITS: 4294967295", "4294967295");
    add("work-item sizes show the first three", SET(e.maxWorkItemDimensions = 4; e.maxWorkItemSizes = sizes),
        6, "CL_DEVICE_MAX_WORK_ITEM_SIZES: 1024x256x16", "[1024,256,16,8]");
    add("5 GiB less a byte is 5119 MByte", SET(e.globalMemSize = (quint64(5) << 30) - 1), 11,
        "CL_DEVICE_GLOBAL_MEM_SIZE: 5119 MByte", "5368709119");
    add("64 KiB less a byte is 63 KByte", SET(e.localMemSize = 65535), 14, "CL_DEVICE_LOCAL_MEM_SIZE: 63 KByte",
        "65535");
    add("fp flags by name, soft float unnamed",
        SET(e.singleFpConfig = CL_FP_INF_NAN | CL_FP_ROUND_TO_ZERO | CL_FP_FMA | CL_FP_SOFT_FLOAT), 20,
        "CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_INF_NAN\n\tCL_FP_ROUND_TO_ZERO\n\tCL_FP_FMA",
        R"({"config":["CL_FP_INF_NAN","CL_FP_ROUND_TO_ZERO","CL_FP_FMA","CL_FP_SOFT_FLOAT"],"raw":106})");
    add("extensions apart by runs of blanks",
        SET(static char list[] = " cl_khr_icd   cl_khr_fp64 cl_ext "; e.extensions = list), 27,
        "Extensions:\tcl_khr_icd\n\tcl_khr_fp64\n\tcl_ext", R"(["cl_khr_icd","cl_khr_fp64","cl_ext"])");
    add("no extension keeps the prefix", SET(static char none[] = " "; e.extensions = none), 27, "Extensions:\t", "[]");
#undef SET
}

void DialogsTest::aDevicePropertyShowsAsItsRowText()
{
    QFETCH(Setter, set);
    QFETCH(int, row);
    QFETCH(QString, expected);
    QFETCH(QString, typed);
    ClDeviceEntry entry{};
    set(entry);
    const PropertyRow property = deviceProperties(entry).value(row - 1);
    QCOMPARE(property.text, expected);
    QCOMPARE(compact(property.typed), typed);
}

void DialogsTest::aRowKeepsItsNameTextAndValueInJson_data()
{
    QTest::addColumn<uint>("param");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    // A device of several types has no one name for them; its typed value has.
    QTest::newRow("several types") << uint(CL_DEVICE_TYPE) << quint64(CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_DEFAULT) << 2
        << R"({"name":"Type","typed":{"raw":5,"type":["CL_DEVICE_TYPE_DEFAULT","CL_DEVICE_TYPE_GPU"]},"value":""})";
    QTest::newRow("a list of one") << uint(CL_DEVICE_QUEUE_PROPERTIES) << quint64(CL_QUEUE_PROFILING_ENABLE) << 15
        << R"({"name":"CL_DEVICE_QUEUE_PROPERTIES","typed":{"queue_prop":["CL_QUEUE_PROFILING_ENABLE"],"raw":2},)"
           R"("value":["CL_QUEUE_PROFILING_ENABLE"]})";
    QTest::newRow("an empty list") << uint(CL_DEVICE_QUEUE_PROPERTIES) << quint64(0) << 15
        << R"({"name":"CL_DEVICE_QUEUE_PROPERTIES","typed":{"queue_prop":[],"raw":0},"value":[]})";
}

void DialogsTest::aRowKeepsItsNameTextAndValueInJson()
{
    QFETCH(uint, param);
    QFETCH(quint64, value);
    QFETCH(int, row);
    QFETCH(QString, expected);
    ClFault::overrideDeviceInfo(param, &value, sizeof value);
    ClInventory inventory = {};
    const QJsonObject report = InfoReport::json(inventory, scanOpenClInventory(inventory), nullptr);
    releaseOpenClInventory(inventory);
    ClFault::reset();
    QCOMPARE(compact(report["platforms"][0]["devices"][0]["rows"][row]), expected);
}

void DialogsTest::unterminatedTextIsReadNoFurtherThanItsField()
{
    ClDeviceEntry entry;
    std::memset(&entry, 'x', sizeof entry);   // not a zero byte anywhere after a field
    entry.extensions = nullptr;
    entry.maxWorkItemSizes = nullptr;
    const QString full(256, 'x');
    QCOMPARE(RowFormat::deviceLabel(entry), "Device: " + full);
    QCOMPARE(deviceRows(entry).mid(0, 2), QStringList({ "Vendor: " + full, "Version: " + full }));
}

void DialogsTest::openGlDialogShowsTheDriverStringsAndLeavesNoContextCurrent()
{
    QVERIFY(!QOpenGLContext::currentContext());
    // Asked here without the program's own query, on a context of the same driver.
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    QVERIFY(context.create() && context.makeCurrent(&surface));
    auto glText = [&context](GLenum name) {
        return QString::fromLatin1(reinterpret_cast<const char *>(context.functions()->glGetString(name)));
    };
    const QString version = glText(GL_VERSION), vendor = glText(GL_VENDOR), renderer = glText(GL_RENDERER);
    const QStringList extensions = glText(GL_EXTENSIONS).split(' ', Qt::SkipEmptyParts);
    context.doneCurrent();

    QCOMPARE(labelOf(openGl.get(), "lblVersion"), "Version: <b>" + version + "</b>");
    QCOMPARE(labelOf(openGl.get(), "lblVendor"), "Vendor: <b>" + vendor + "</b>");
    QCOMPARE(labelOf(openGl.get(), "lblRenderer"), "Renderer: <b>" + renderer + "</b>");
    QTreeWidget *tree = treeOf(openGl.get());
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Extensions (%1)").arg(extensions.size()));
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0);
    QCOMPARE(rows, extensions);
}

// Without a context the report says so: tst_windowsystem sees it.
void DialogsTest::reportListsTheOpenGlExtensionsApartByRunsOfBlanks()
{
    const GlStrings strings = { "4.5", "Example", "soft", " GL_a   GL_b  GL_c ", true };
    QCOMPARE(InfoReport::openGl(strings), "OpenGL\n  Version: 4.5\n  Vendor: Example\n  Renderer: soft\n"
                                          "  Extensions (3)\n    GL_a\n    GL_b\n    GL_c\n");
}

// Without a driver the report says where drivers are registered, and ends
// with 1.
void DialogsTest::korvaneInfoSaysWhereDriversAreRegistered()
{
    // The loader finds no platform in a folder without a vendor file.
    QTemporaryDir noVendors;
    const Run result = korvaneInfo({}, false, noVendors.path());
    QCOMPARE(result.exitCode, 1);
    const QString says = "No OpenCL platform found (CL_PLATFORM_NOT_FOUND_KHR)\nOpenCL drivers are registered by the "
                         ".icd files in " + noVendors.path() + ",";
    QVERIFY2((result.out + result.err).contains(says), qPrintable(result.out + result.err));
}

void DialogsTest::korvaneInfoPrintsWhatTheDialogsShow()
{
    QString expected = asReport(treeOf(realPlatforms.get()), 0) + "OpenGL\n";
    for (const char *label : { "lblVersion", "lblVendor", "lblRenderer" })
        expected += "  " + labelOf(openGl.get(), label).remove("<b>").remove("</b>") + '\n';
    expected += "  " + treeOf(openGl.get())->headerItem()->text(0) + '\n' + asReport(treeOf(openGl.get()), 2);

    // Each device with its index, counted from 0 on each platform.
    QStringList lines = expected.split('\n');
    for (int i = 0, platform = -1, device = 0; i < lines.size() && !lines[i].startsWith("OpenGL"); ++i) {
        if (!lines[i].startsWith(' ')) {
            ++platform;
            device = 0;
        } else if (lines[i].startsWith("  Device: ")) {
            lines[i] += QStringLiteral(" (%1:%2)").arg(platform).arg(device++);
        }
    }
    expected = lines.join('\n');
    const Run result = korvaneInfo({}, true);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, expected);

    const Run json = korvaneInfo({ "--json" }, true);
    const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(report["opengl"]["renderer"].toString(), labelOf(openGl.get(), "lblRenderer").section("<b>", 1).remove("</b>"));
    QCOMPARE(report["opengl"]["extensions"].toArray().size(), treeOf(openGl.get())->topLevelItemCount());
}

// clinfo reads the same drivers through the same loader: korvane-info must
// show what it shows, on every device of every platform. Compared are the
// JSON report's rows; the text report lays out the same rows as the dialog
// does, which korvaneInfoPrintsWhatTheDialogsShow holds it to on the same
// drivers.
void DialogsTest::korvaneInfoAgreesWithClinfo_data()
{
    QTest::addColumn<QString>("where");   // "P" or "P:D"
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("place");       // among the rows of that name
    // Values as compact JSON: a QJsonValue kept in a data table loses the
    // containers it shares with its document (Qt 5.15 leaks them).
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("typed");
    const QJsonObject clinfo = readClinfo();
    const QJsonArray platforms = clinfo["platforms"].toArray();
    QTest::newRow("platforms") << QString() << "count" << 0 << QString::number(platforms.size()) << QString();
    qInfo("clinfo has no OpenGL part and no P:D index: those of korvane-info are not compared");
    auto add = [](const QString &where, const auto &shown, const QJsonObject &properties) {
        QHash<QString, int> seen;
        for (const auto &each : shown) {
            const int place = seen[each.row]++;
            // The queue's properties have a new name from OpenCL 2.0 on.
            const QString property = properties.contains(each.property) ? each.property : "CL_DEVICE_QUEUE_PROPERTIES";
            if (!properties.contains(property)) {
                qInfo("clinfo reports no %s on %s: its row is not compared", each.property, qPrintable(where));
                continue;
            }
            // A list is an array, however many items it holds; clinfo gives
            // an extension list as the driver's one string.
            const QStringList text = ::shown(each.as, properties[property]);
            const QJsonArray list = QJsonArray::fromStringList(text);
            const bool isList = each.as == As::Words || each.as == As::Flags || each.as == As::FpNames;
            QTest::addRow("%s %s", qPrintable(where), each.row)
                << where << each.row << place << compact(isList ? QJsonValue(list) : QJsonValue(text.first()))
                << compact(each.as == As::Words ? list : properties[property]);
        }
    };
    for (int p = 0; p < platforms.size(); ++p) {
        const QString where = QString::number(p);
        add(where, platformShown, platforms[p].toObject());
        const QJsonArray devices = clinfo["devices"].toArray()[p].toObject()["online"].toArray();
        for (int d = 0; d < devices.size(); ++d)
            add(where + ':' + QString::number(d), deviceShown, devices[d].toObject());
    }
}

void DialogsTest::korvaneInfoAgreesWithClinfo()
{
    QFETCH(QString, where);
    QFETCH(QString, row);
    QFETCH(int, place);
    QFETCH(QString, value);
    QFETCH(QString, typed);
    static const Run json = korvaneInfo({ "--json" }, false);
    const QJsonArray platforms = QJsonDocument::fromJson(json.out.toUtf8())["platforms"].toArray();
    if (where.isEmpty()) {
        QCOMPARE(platforms.size(), value.toInt());
        return;
    }
    QJsonObject entry = platforms[where.section(':', 0, 0).toInt()].toObject();
    if (where.contains(':'))
        entry = entry["devices"].toArray()[where.section(':', 1).toInt()].toObject();
    QJsonObject found{ { "value", entry[row] }, { "typed", entry[row] } };   // the name, which is no row
    for (const QJsonValue &candidate : entry["rows"].toArray())
        if (candidate["name"] == row && place-- == 0)
            found = candidate.toObject();
    QCOMPARE(compact(found["value"]), value);
    QCOMPARE(compact(found["typed"]), typed);
}

void DialogsTest::extensionNamesWrapOnlyAfterUnderscores()
{
    const QString name = QStringLiteral("GL_EXT_compiled_vertex_array");
    const QFont font = treeOf(openGl.get())->font();
    const QStringList lines = WrappingItemDelegate::lines(name, font, QFontMetricsF(font).horizontalAdvance("GL_EXT_compiled_ve"));
    QCOMPARE(lines, QStringList({ "GL_EXT_compiled_", "vertex_array" }));
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
