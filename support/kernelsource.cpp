#include "kernelsource.h"

#include <QDir>
#include <QFile>

namespace {

const QString searchPrefix = QStringLiteral("kernels");
const QString embedded = QStringLiteral(":/cl");

} // namespace

bool readKernelSource(const char *fileName, QByteArray &source)
{
    if (QDir::searchPaths(searchPrefix).isEmpty())
        QDir::setSearchPaths(searchPrefix, { embedded });
    QFile file(searchPrefix + QLatin1Char(':') + QLatin1String(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    source = file.readAll();
    return true;
}

void useKernelFolder(const QString &folder)
{
    QDir::setSearchPaths(searchPrefix, { folder, embedded });
}
