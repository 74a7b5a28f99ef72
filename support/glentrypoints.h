#ifndef GLENTRYPOINTS_H
#define GLENTRYPOINTS_H

#include <QtOpenGL/qgl.h>
#include <GL/glext.h>

class QGLWidget;

typedef GLenum (*PFNGLEWINITPROC)(void);
typedef GLboolean (*PFNGLEWISSUPPORTEDPROC)(const char *name);

// Buffer-object (and shader) entry points fetched by name from one view's
// OpenGL context. Some drivers hand out a stub for any name, so a non-null
// member does not prove the function exists.
struct GlEntryPoints
{
    PFNGLUSEPROGRAMPROC glUseProgram;
    PFNGLLINKPROGRAMPROC glLinkProgram;
    PFNGLATTACHSHADERPROC glAttachShader;
    PFNGLCREATEPROGRAMPROC glCreateProgram;
    PFNGLCOMPILESHADERPROC glCompileShader;
    PFNGLSHADERSOURCEPROC glShaderSource;
    PFNGLCREATESHADERPROC glCreateShader;
    PFNGLGENBUFFERSPROC glGenBuffers;
    PFNGLBINDBUFFERPROC glBindBuffer;
    PFNGLBUFFERDATAPROC glBufferData;
    PFNGLBINDBUFFERARBPROC glBindBufferARB;
    PFNGLMAPBUFFERARBPROC glMapBufferARB;
    PFNGLMAPBUFFERPROC glMapBuffer;
    PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB;
    PFNGLUNMAPBUFFERPROC glUnmapBuffer;
    PFNGLDELETEBUFFERSPROC glDeleteBuffers;
    PFNGLEWINITPROC glewInit;
    PFNGLEWISSUPPORTEDPROC glewIsSupported;
    PFNGLGETBUFFERPARAMETERIVPROC glGetBufferParameteriv;
};

// Fills every member from widget's context; a second fill replaces the
// whole table.
void loadGlEntryPoints(GlEntryPoints &entryPoints, QGLWidget *widget);

#endif
