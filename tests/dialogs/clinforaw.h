#ifndef CLINFORAW_H
#define CLINFORAW_H

#include <QHash>
#include <QString>
#include <QVector>

// What clinfo, an OpenCL reader independent of this program, reports of
// the drivers the loader finds: each platform's and each device's
// properties by their OpenCL names, in the loader's order.
struct ClinfoPlatform
{
    QHash<QString, QString> properties;
    QVector<QHash<QString, QString>> devices;
};

// Runs `clinfo --raw`; empty with error set when it cannot.
QVector<ClinfoPlatform> readClinfo(QString &error);

#endif
