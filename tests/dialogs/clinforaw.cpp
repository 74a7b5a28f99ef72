#include "clinforaw.h"

#include <QProcess>
#include <QRegularExpression>

// `clinfo --raw` lists the platforms' properties in one block, a platform
// a paragraph, then each platform again with its devices' properties, a
// line "[SUFFIX/N] NAME VALUE" each. Suffixes may repeat across platforms,
// so devices belong to the platform whose header came last.
QVector<ClinfoPlatform> readClinfo(QString &error)
{
    QProcess clinfo;
    clinfo.start(QStringLiteral("clinfo"), { QStringLiteral("--raw") });
    if (!clinfo.waitForFinished(60000) || clinfo.exitStatus() != QProcess::NormalExit || clinfo.exitCode() != 0) {
        error = QStringLiteral("clinfo --raw did not run: ") + clinfo.errorString();
        return {};
    }
    const QRegularExpression line(QStringLiteral("^(?:\\[[^/]*/([^\\]]*)\\])?\\s*(#?[A-Z0-9_]+)\\s*(.*)$"));
    QVector<ClinfoPlatform> platforms;
    int current = -1;   // the platform whose devices follow
    for (const QString &text : QString::fromLocal8Bit(clinfo.readAllStandardOutput()).split('\n')) {
        const QRegularExpressionMatch m = line.match(text);
        if (!m.hasMatch())
            continue;
        const QString device = m.captured(1), name = m.captured(2), value = m.captured(3);
        if (device.isNull() && name == QLatin1String("CL_PLATFORM_NAME"))
            platforms.append(ClinfoPlatform());
        if (device.isNull() && !platforms.isEmpty())
            platforms.last().properties.insert(name, value);
        else if (device == QLatin1String("*") && name == QLatin1String("CL_PLATFORM_NAME"))
            ++current;
        else if (!device.isNull() && device != QLatin1String("*") && current >= 0 && current < platforms.size()) {
            auto &devices = platforms[current].devices;
            devices.resize(qMax(devices.size(), device.toInt() + 1));
            devices[device.toInt()].insert(name, value);
        }
    }
    return platforms;
}
