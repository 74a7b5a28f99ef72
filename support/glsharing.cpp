#include "glsharing.h"

#include <CL/cl_gl.h>

#include <QOpenGLContext>
#include <QVariant>

#ifdef Q_OS_WIN
#include <windows.h>
#else
// Xlib's macros clash with Qt's names: after every Qt header.
#include <QtPlatformHeaders/QGLXNativeContext>
#endif

namespace {

// The sharing properties name the current context by GLX's (or WGL's)
// handles. A context of another kind (EGL, on Wayland or on X11) has none
// to name, and GLX must not even be asked then.
bool currentContextHasSharingHandles()
{
#ifdef Q_OS_WIN
    return true;
#else
    const QOpenGLContext *current = QOpenGLContext::currentContext();
    return current && current->nativeHandle().canConvert<QGLXNativeContext>();
#endif
}

} // namespace

QVector<cl_context_properties> glSharingProperties(cl_platform_id platform)
{
#ifdef Q_OS_WIN
    const cl_context_properties glContext = cl_context_properties(wglGetCurrentContext());
    const cl_context_properties surfaceKey = CL_WGL_HDC_KHR;
    const cl_context_properties surface = cl_context_properties(wglGetCurrentDC());
#else
    const cl_context_properties glContext = cl_context_properties(glXGetCurrentContext());
    const cl_context_properties surfaceKey = CL_GLX_DISPLAY_KHR;
    const cl_context_properties surface = cl_context_properties(glXGetCurrentDisplay());
#endif
    return { CL_GL_CONTEXT_KHR, glContext,
             surfaceKey, surface,
             CL_CONTEXT_PLATFORM, cl_context_properties(platform),
             0 };
}

bool currentGlContextSharesWith(cl_platform_id platform, cl_device_id device)
{
    if (!currentContextHasSharingHandles())
        return false;
    // An extension function: the platform's driver hands it out, or not.
    const auto contextInfo = reinterpret_cast<clGetGLContextInfoKHR_fn>(
        clGetExtensionFunctionAddressForPlatform(platform, "clGetGLContextInfoKHR"));
    if (!contextInfo)
        return false;
    const QVector<cl_context_properties> properties = glSharingProperties(platform);
    size_t size = 0;
    if (contextInfo(properties.constData(), CL_DEVICES_FOR_GL_CONTEXT_KHR, 0, nullptr, &size) != CL_SUCCESS)
        return false;
    // The array is sized from the driver's answer, but the driver is told
    // the array's own size: a length that is no whole number of handles,
    // or a huge one, is refused instead of written past the end.
    QVector<cl_device_id> devices(int(qMin(size / sizeof(cl_device_id), size_t(1024))));
    const size_t bytes = size_t(devices.size()) * sizeof(cl_device_id);
    if (devices.isEmpty()
        || contextInfo(properties.constData(), CL_DEVICES_FOR_GL_CONTEXT_KHR, bytes, devices.data(), nullptr)
               != CL_SUCCESS)
        return false;
    return devices.contains(device);
}
