#include "glreport.h"

#include <QGLContext>
#include <QGLWidget>

namespace {

QString glString(GLenum name)
{
    const GLubyte *value = glGetString(name);
    if (!value)
        return QString();
    return QString::fromLatin1(reinterpret_cast<const char *>(value));
}

} // namespace

GlStrings queryGlStrings()
{
    GlStrings strings;
    QGLWidget widget(nullptr, nullptr, Qt::WindowFlags());
    if (!widget.isValid())
        return strings;

    // updateGL() on a widget that was never shown paints nothing and makes
    // no context current; makeCurrent() does.
    widget.makeCurrent();
    if (QGLContext::currentContext() != widget.context())
        return strings;

    strings.haveContext = true;
    strings.extensions = glString(GL_EXTENSIONS);
    strings.version = glString(GL_VERSION);
    strings.vendor = glString(GL_VENDOR);
    strings.renderer = glString(GL_RENDERER);
    widget.doneCurrent();
    return strings;
}

namespace GlFormat {

QString unavailable()
{
    return QStringLiteral("unavailable");
}

QString shown(const QString &value)
{
    return value.isNull() ? unavailable() : value;
}

QStringList extensionList(const QString &extensions)
{
    if (extensions.isNull())
        return QStringList();
    // However many blanks a driver puts between two names, none is empty.
    static const QRegExp blanks(QStringLiteral("\\s+"), Qt::CaseSensitive, QRegExp::RegExp);
    return extensions.split(blanks, Qt::SkipEmptyParts);
}

QString extensionsHeader(int count)
{
    return QStringLiteral("Extensions (") + QString::number(count) + QLatin1Char(')');
}

QString labelText(const QString &caption, const QString &value)
{
    return caption + QStringLiteral(": <b>") + value + QStringLiteral("</b>");
}

QString plainText(const QString &caption, const QString &value)
{
    return caption + QStringLiteral(": ") + value;
}

} // namespace GlFormat
