#include "kernelsource.h"

#include <QFile>

bool readKernelSource(const char *resourcePath, QByteArray &source)
{
    QFile file(QString::fromLatin1(resourcePath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    source = file.readAll();
    file.close();
    return true;
}
