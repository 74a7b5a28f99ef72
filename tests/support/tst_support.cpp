#include "clerrorname.h"
#include "glentrypoints.h"
#include "kernelsource.h"

#include <QtTest>
#include <QFile>
#include <QGLWidget>

#include <cstring>

// Status names, the embedded kernel sources and the buffer-object entry
// points: the small services every view relies on.
class SupportTest : public QObject
{
    Q_OBJECT

private slots:
    void statusesAreNamed_data();
    void statusesAreNamed();
    void unnamedStatusIsReportedWithItsNumber();
    void nameIsCutToTheBuffer();

    void kernelSourcesAreEmbeddedByteForByte_data();
    void kernelSourcesAreEmbeddedByteForByte();
    void kernelSourcesBuildOnTheDevice();
    void missingResourceIsNotRead();

    void bufferEntryPointsWork();
};

void SupportTest::statusesAreNamed_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("0") << 0 << QByteArray("CL_SUCCESS");
    QTest::newRow("-1") << -1 << QByteArray("CL_DEVICE_NOT_FOUND");
    QTest::newRow("-11") << -11 << QByteArray("CL_BUILD_PROGRAM_FAILURE");
    QTest::newRow("-12") << -12 << QByteArray("CL_MAP_FAILURE");
    QTest::newRow("-13") << -13 << QByteArray("CL_MISALIGNED_SUB_BUFFER_OFFSET");
    QTest::newRow("-19") << -19 << QByteArray("CL_KERNEL_ARG_INFO_NOT_AVAILABLE");
    QTest::newRow("-30") << -30 << QByteArray("CL_INVALID_VALUE");
    QTest::newRow("-39") << -39 << QByteArray("CL_INVALID_IMAGE_FORMAT_DESCRIPTOR");
    QTest::newRow("-54") << -54 << QByteArray("CL_INVALID_WORK_GROUP_SIZE");
    QTest::newRow("-63") << -63 << QByteArray("CL_INVALID_GLOBAL_WORK_SIZE");
    QTest::newRow("-64") << -64 << QByteArray("CL_INVALID_PROPERTY");
    QTest::newRow("-72") << -72 << QByteArray("CL_MAX_SIZE_RESTRICTION_EXCEEDED");
    QTest::newRow("-1000") << -1000 << QByteArray("CL_INVALID_GL_SHAREGROUP_REFERENCE_KHR");
    QTest::newRow("-1001") << -1001 << QByteArray("CL_PLATFORM_NOT_FOUND_KHR");
}

void SupportTest::statusesAreNamed()
{
    QFETCH(int, status);
    QFETCH(QByteArray, name);
    char buffer[256] = "stale";
    QCOMPARE(clErrorName(status, buffer, sizeof buffer), buffer);
    QCOMPARE(QByteArray(buffer), name);
}

void SupportTest::unnamedStatusIsReportedWithItsNumber()
{
    char buffer[256] = "CL_BUILD_PROGRAM_FAILURE";
    clErrorName(-9999, buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer), QByteArray("Unknown OpenCL error -9999"));
    clErrorName(-20, buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer), QByteArray("Unknown OpenCL error -20"));
    clErrorName(-500, buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer), QByteArray("Unknown OpenCL error -500"));
}

void SupportTest::nameIsCutToTheBuffer()
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    clErrorName(-11, buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer), QByteArray("CL_BUIL"));
}

void SupportTest::kernelSourcesAreEmbeddedByteForByte_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("kernel");
    QTest::newRow("sine wave") << "simplGL.cl" << QByteArray("sine_wave");
    QTest::newRow("post-processing") << "PostprocessGL.cl" << QByteArray("postprocess");
    QTest::newRow("n-body") << "NBody_Kernels.cl" << QByteArray("nbody_sim");
}

void SupportTest::kernelSourcesAreEmbeddedByteForByte()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, kernel);
    QByteArray embedded;
    QVERIFY(readKernelSource(qPrintable(":/cl/" + name), embedded));

    QFile onDisk(QStringLiteral(KORVANE_SOURCE_DIR "/cl/") + name);
    QVERIFY(onDisk.open(QIODevice::ReadOnly));
    QCOMPARE(embedded, onDisk.readAll());
    QVERIFY(embedded.contains("__kernel void " + kernel + "("));
    QVERIFY(embedded.contains("\r\n"));
    QCOMPARE(embedded.count("\n"), embedded.count("\r\n"));
}

void SupportTest::kernelSourcesBuildOnTheDevice()
{
    cl_platform_id platform = nullptr;
    QCOMPARE(clGetPlatformIDs(1, &platform, nullptr), CL_SUCCESS);
    cl_device_id device = nullptr;
    QCOMPARE(clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, 1, &device, nullptr), CL_SUCCESS);
    cl_int status = CL_SUCCESS;
    cl_context context = clCreateContext(nullptr, 1, &device, nullptr, nullptr, &status);
    QCOMPARE(status, CL_SUCCESS);
    const QList<QPair<const char *, const char *>> kernels = {
        { ":/cl/simplGL.cl", "sine_wave" },
        { ":/cl/PostprocessGL.cl", "postprocess" },
        { ":/cl/NBody_Kernels.cl", "nbody_sim" },
    };
    for (const auto &entry : kernels) {
        QByteArray source;
        QVERIFY(readKernelSource(entry.first, source));
        const char *text = source.constData();
        const size_t length = size_t(source.size());
        cl_program program = clCreateProgramWithSource(context, 1, &text, &length, &status);
        QCOMPARE(status, CL_SUCCESS);
        QCOMPARE(clBuildProgram(program, 0, nullptr, "-cl-fast-relaxed-math", nullptr, nullptr), CL_SUCCESS);
        cl_kernel kernel = clCreateKernel(program, entry.second, &status);
        QCOMPARE(status, CL_SUCCESS);
        clReleaseKernel(kernel);
        clReleaseProgram(program);
    }
    clReleaseContext(context);
}

void SupportTest::missingResourceIsNotRead()
{
    QByteArray source("untouched");
    QVERIFY(!readKernelSource(":/cl/missing.cl", source));
    QCOMPARE(source, QByteArray("untouched"));
}

void SupportTest::bufferEntryPointsWork()
{
    QGLWidget widget;
    widget.resize(64, 64);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.makeCurrent();

    GlEntryPoints first = {};
    loadGlEntryPoints(first, &widget);
    GlEntryPoints second = {};
    loadGlEntryPoints(second, &widget);
    QVERIFY(std::memcmp(&first, &second, sizeof first) == 0);

    // The six functions the views call, used for real: some drivers hand
    // out a pointer for any name, so only a round trip proves them.
    GLuint buffer = 0;
    first.glGenBuffers(1, &buffer);
    QVERIFY(buffer != 0);
    first.glBindBuffer(GL_ARRAY_BUFFER, buffer);
    first.glBufferData(GL_ARRAY_BUFFER, 16, nullptr, GL_STREAM_DRAW);
    auto *mapped = static_cast<float *>(first.glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    QVERIFY(mapped);
    mapped[0] = 1.5f;
    QCOMPARE(first.glUnmapBuffer(GL_ARRAY_BUFFER), GLboolean(GL_TRUE));
    GLint size = 0;
    first.glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    QCOMPARE(size, 16);
    first.glDeleteBuffers(1, &buffer);
    QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
}

QTEST_MAIN(SupportTest)
#include "tst_support.moc"
