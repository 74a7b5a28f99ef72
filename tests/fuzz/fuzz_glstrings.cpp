// The "OpenGL" rows made from any driver strings.
#include "glreport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), int(size));
    const QStringList extensions = GlFormat::extensionList(text);
    // Splitting keeps every character but the separators.
    int characters = 0;
    for (const QString &name : extensions) {
        if (name.contains(QLatin1Char(' ')) && !name.trimmed().isEmpty() && name != name.trimmed())
            abort();
        characters += name.size();
    }
    if (characters > text.size())
        abort();
    GlFormat::extensionsHeader(extensions.size());
    GlFormat::labelText(QStringLiteral("Version"), GlFormat::shown(text));
    GlFormat::plainText(QStringLiteral("Renderer"), GlFormat::shown(QString()));
    return 0;
}
