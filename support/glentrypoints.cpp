#include "glentrypoints.h"

#include <QGLContext>
#include <QGLWidget>

namespace {

template <typename Function>
void resolve(const QGLContext *context, const char *name, Function &member)
{
    member = reinterpret_cast<Function>(context->getProcAddress(QString::fromLatin1(name)));
}

} // namespace

void loadGlEntryPoints(GlEntryPoints &e, QGLWidget *widget)
{
    const QGLContext *c = widget->context();
    resolve(c, "glGenBuffers", e.glGenBuffers);
    resolve(c, "glewInit", e.glewInit);
    resolve(c, "glewIsSupported", e.glewIsSupported);
    resolve(c, "glBindBuffer", e.glBindBuffer);
    resolve(c, "glBufferData", e.glBufferData);
    resolve(c, "glDeleteBuffers", e.glDeleteBuffers);
    resolve(c, "glBindBufferARB", e.glBindBufferARB);
    resolve(c, "glMapBufferARB", e.glMapBufferARB);
    resolve(c, "glMapBuffer", e.glMapBuffer);
    resolve(c, "glUnmapBufferARB", e.glUnmapBufferARB);
    resolve(c, "glUnmapBuffer", e.glUnmapBuffer);
    resolve(c, "glGetBufferParameteriv", e.glGetBufferParameteriv);
    resolve(c, "glCreateShader", e.glCreateShader);
    resolve(c, "glLinkProgram", e.glLinkProgram);
    resolve(c, "glAttachShader", e.glAttachShader);
    resolve(c, "glCreateProgram", e.glCreateProgram);
    resolve(c, "glCompileShader", e.glCompileShader);
    resolve(c, "glShaderSource", e.glShaderSource);
    resolve(c, "glUseProgram", e.glUseProgram);
}
