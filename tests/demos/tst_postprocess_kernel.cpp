#include "clfault.h"
#include "kernelsource.h"

#include <QtTest>

#include <algorithm>
#include <random>

namespace {

// The arguments the post-processing view gives the kernel.
const int group = 16;
const cl_int tileWidth = 24;
const cl_int radius = 4;
const cl_float threshold = 0.8f;
const cl_float highlight = 4.0f;
const size_t localBytes = 9216;

// Words past the image in the output buffer: the work-items beyond the
// image must leave them alone.
const int guardWords = 64;
const quint32 guard = 0xdeadbeef;

quint32 pixel(int c2, int c1, int c0)
{
    return quint32(c2) << 16 | quint32(c1) << 8 | quint32(c0);
}

int channel(quint32 p, int i)
{
    return int((p >> (8 * i)) & 0xff);
}

struct Image
{
    int width;
    int height;
    QVector<quint32> pixels;

    quint32 at(int x, int y) const { return pixels[y * width + x]; }
};

// The filter written from its description, in integers: a sample whose
// channel sum exceeds 612 (0.8 of 765) counts four times; the average over
// the disc is truncated and clamped; samples outside the image take the
// nearest edge pixel.
Image hostFilter(const Image &in)
{
    Image out{ in.width, in.height, QVector<quint32>(in.pixels.size()) };
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            qint64 sum[3] = { 0, 0, 0 };
            int samples = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    const quint32 p = in.at(qBound(0, x + dx, in.width - 1), qBound(0, y + dy, in.height - 1));
                    const int weight = channel(p, 0) + channel(p, 1) + channel(p, 2) > 612 ? 4 : 1;
                    for (int i = 0; i < 3; ++i)
                        sum[i] += weight * channel(p, i);
                    ++samples;
                }
            }
            int c[3];
            for (int i = 0; i < 3; ++i)
                c[i] = int(qMin<qint64>(255, sum[i] / samples));
            out.pixels[y * in.width + x] = pixel(c[2], c[1], c[0]);
        }
    }
    return out;
}

Image uniform(int width, int height, quint32 value)
{
    return Image{ width, height, QVector<quint32>(width * height, value) };
}

Image random(int width, int height, quint32 seed)
{
    std::mt19937 generator(seed);
    Image image = uniform(width, height, 0);
    for (quint32 &p : image.pixels) {
        p = generator();
        // Plenty of samples on both sides of the brightness threshold.
        if ((p >> 24) < 64)
            p |= 0xe0e0e0;
    }
    return image;
}

QString firstDifference(const Image &actual, const Image &expected)
{
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x)
            if (actual.at(x, y) != expected.at(x, y))
                return QString::asprintf("(%d, %d): 0x%08x, expected 0x%08x", x, y, actual.at(x, y),
                                         expected.at(x, y));
    return QString();
}

} // namespace

// The kernel postprocess on the machine's device, run as the view runs it,
// against the filter computed on the host, pixel by pixel.
class PostprocessKernelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void randomImagesMatchTheHostFilter_data();
    void randomImagesMatchTheHostFilter();
    void uniformWhiteStaysWhite();
    void middleTonesAreOnlyBlurred();
    void channelSumOf612IsNotBrightened();
    void channelSumOf613IsBrightened();
    void samplesEitherSideOfTheThresholdMix();
    void oneBrightPixelSpreadsIntoAHalo();
    void channelsKeepTheirBytes();
    void borderPixelsSampleTheNearestEdge();
    void workItemsPastTheImageWriteNothing();

private:
    Image run(const Image &in, QVector<quint32> *whole = nullptr);

    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    cl_program program = nullptr;
    cl_kernel kernel = nullptr;
};

void PostprocessKernelTest::initTestCase()
{
    cl_platform_id platform = nullptr;
    cl_device_id device = nullptr;
    QCOMPARE(clGetPlatformIDs(1, &platform, nullptr), CL_SUCCESS);
    QCOMPARE(clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, 1, &device, nullptr), CL_SUCCESS);
    cl_int status = CL_SUCCESS;
    const cl_context_properties properties[] = { CL_CONTEXT_PLATFORM, cl_context_properties(platform), 0 };
    context = clCreateContext(properties, 1, &device, nullptr, nullptr, &status);
    QCOMPARE(status, CL_SUCCESS);
    queue = clCreateCommandQueue(context, device, 0, &status);
    QCOMPARE(status, CL_SUCCESS);

    QByteArray source;
    QVERIFY(readKernelSource(":/cl/PostprocessGL.cl", source));
    const char *text = source.constData();
    const size_t length = size_t(source.size());
    program = clCreateProgramWithSource(context, 1, &text, &length, &status);
    QCOMPARE(status, CL_SUCCESS);
    QCOMPARE(clBuildProgram(program, 0, nullptr, "-cl-fast-relaxed-math", nullptr, nullptr), CL_SUCCESS);
    kernel = clCreateKernel(program, "postprocess", &status);
    QCOMPARE(status, CL_SUCCESS);
}

void PostprocessKernelTest::cleanupTestCase()
{
    clReleaseKernel(kernel);
    clReleaseProgram(program);
    clReleaseCommandQueue(queue);
    clReleaseContext(context);
    QCOMPARE(ClFault::liveObjects(), 0);
}

// One filter run with the view's sizes and arguments. The output buffer is
// longer than the image by a guard band, returned in whole when asked.
Image PostprocessKernelTest::run(const Image &in, QVector<quint32> *whole)
{
    Image out{ in.width, in.height, {} };
    const size_t bytes = size_t(in.pixels.size()) * sizeof(quint32);
    QVector<quint32> result(in.pixels.size() + guardWords, guard);
    cl_int status = CL_SUCCESS;
    cl_mem input = clCreateBuffer(context, CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR, bytes,
                                  const_cast<quint32 *>(in.pixels.constData()), &status);
    if (status != CL_SUCCESS)
        return out;
    cl_mem output = clCreateBuffer(context, CL_MEM_WRITE_ONLY | CL_MEM_COPY_HOST_PTR,
                                   size_t(result.size()) * sizeof(quint32), result.data(), &status);
    const cl_int w = in.width;
    const cl_int h = in.height;
    const size_t local[2] = { group, group };
    const size_t global[2] = { size_t(w / group * group + group), size_t(h / group * group + group) };
    if (status == CL_SUCCESS) {
        clSetKernelArg(kernel, 0, sizeof input, &input);
        clSetKernelArg(kernel, 1, sizeof output, &output);
        clSetKernelArg(kernel, 2, sizeof w, &w);
        clSetKernelArg(kernel, 3, sizeof h, &h);
        clSetKernelArg(kernel, 4, sizeof tileWidth, &tileWidth);
        clSetKernelArg(kernel, 5, sizeof radius, &radius);
        clSetKernelArg(kernel, 6, sizeof threshold, &threshold);
        clSetKernelArg(kernel, 7, sizeof highlight, &highlight);
        clSetKernelArg(kernel, 8, localBytes, nullptr);
        status = clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
    }
    if (status == CL_SUCCESS)
        status = clEnqueueReadBuffer(queue, output, CL_TRUE, 0, size_t(result.size()) * sizeof(quint32),
                                     result.data(), 0, nullptr, nullptr);
    clReleaseMemObject(input);
    if (output)
        clReleaseMemObject(output);
    if (status == CL_SUCCESS)
        out.pixels = result.mid(0, in.pixels.size());
    if (whole)
        *whole = result;
    return out;
}

void PostprocessKernelTest::randomImagesMatchTheHostFilter_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("640 x 480") << 640 << 480;
    QTest::newRow("37 x 23") << 37 << 23;
    QTest::newRow("1 x 1") << 1 << 1;
    QTest::newRow("48 x 16") << 48 << 16;
    QTest::newRow("3 x 50") << 3 << 50;
    QTest::newRow("17 x 1") << 17 << 1;
}

void PostprocessKernelTest::randomImagesMatchTheHostFilter()
{
    QFETCH(int, width);
    QFETCH(int, height);
    const Image in = random(width, height, quint32(width * 1000 + height));
    const Image out = run(in);
    QCOMPARE(out.pixels.size(), in.pixels.size());
    QCOMPARE(firstDifference(out, hostFilter(in)), QString());
}

void PostprocessKernelTest::uniformWhiteStaysWhite()
{
    const Image out = run(uniform(40, 30, pixel(255, 255, 255)));
    QCOMPARE(out.pixels, QVector<quint32>(40 * 30, pixel(255, 255, 255)));
}

void PostprocessKernelTest::middleTonesAreOnlyBlurred()
{
    const Image out = run(uniform(20, 20, pixel(90, 140, 30)));
    QCOMPARE(out.pixels, QVector<quint32>(20 * 20, pixel(90, 140, 30)));
}

void PostprocessKernelTest::channelSumOf612IsNotBrightened()
{
    const quint32 p = pixel(204, 204, 204);
    const Image out = run(uniform(20, 18, p));
    QCOMPARE(out.pixels, QVector<quint32>(20 * 18, p));
}

void PostprocessKernelTest::channelSumOf613IsBrightened()
{
    // Four times every channel, clamped.
    const Image out = run(uniform(20, 18, pixel(205, 204, 204)));
    QCOMPARE(out.pixels, QVector<quint32>(20 * 18, pixel(255, 255, 255)));
}

void PostprocessKernelTest::samplesEitherSideOfTheThresholdMix()
{
    const quint32 values[] = { pixel(204, 204, 204), pixel(205, 204, 204), pixel(0, 255, 255),
                               pixel(103, 255, 255), pixel(10, 20, 30) };
    std::mt19937 generator(612);
    Image in = uniform(45, 29, 0);
    for (quint32 &p : in.pixels)
        p = values[generator() % 5];
    QCOMPARE(firstDifference(run(in), hostFilter(in)), QString());
}

void PostprocessKernelTest::oneBrightPixelSpreadsIntoAHalo()
{
    Image in = uniform(33, 33, 0);
    in.pixels[16 * 33 + 16] = pixel(255, 255, 255);
    const Image out = run(in);
    QCOMPARE(firstDifference(out, hostFilter(in)), QString());
    // 4 x 255 / 49 within the disc, nothing outside it.
    QCOMPARE(out.at(16, 16), pixel(20, 20, 20));
    QCOMPARE(out.at(20, 16), pixel(20, 20, 20));
    QCOMPARE(out.at(19, 19), quint32(0));
    QCOMPARE(out.at(21, 16), quint32(0));

    // Just below the threshold the same pixel only blurs: 204 / 49.
    in.pixels[16 * 33 + 16] = pixel(204, 204, 204);
    QCOMPARE(run(in).at(16, 16), pixel(4, 4, 4));
}

void PostprocessKernelTest::channelsKeepTheirBytes()
{
    for (int i = 0; i < 3; ++i) {
        const quint32 p = quint32(147) << (8 * i);
        const Image out = run(uniform(17, 17, p | 0xff000000));
        QCOMPARE(out.pixels, QVector<quint32>(17 * 17, p));   // alpha byte 0
    }
}

void PostprocessKernelTest::borderPixelsSampleTheNearestEdge()
{
    // A top row of 98 on black: every disc offset reaching above the image
    // samples that row again, 29 of the 49 offsets in all.
    Image in = uniform(24, 24, 0);
    for (int x = 0; x < 24; ++x)
        in.pixels[x] = pixel(98, 0, 0);
    const Image out = run(in);
    QCOMPARE(channel(out.at(10, 0), 2), 98 * 29 / 49);
    QCOMPARE(channel(out.at(10, 1), 2), 98 * 20 / 49);   // one row further in, 20 offsets
    QCOMPARE(firstDifference(out, hostFilter(in)), QString());

    // In a corner the clamping works in both directions at once: the
    // quarter of the disc towards the corner, axes included, is 17 offsets.
    Image corner = uniform(24, 24, 0);
    corner.pixels[0] = pixel(0, 196, 0);
    QCOMPARE(channel(run(corner).at(0, 0), 1), 196 * 17 / 49);
}

void PostprocessKernelTest::workItemsPastTheImageWriteNothing()
{
    QVector<quint32> whole;
    const Image out = run(random(37, 23, 7), &whole);
    QCOMPARE(out.pixels.size(), 37 * 23);
    for (int i = 37 * 23; i < whole.size(); ++i)
        QCOMPARE(whole[i], guard);
}

QTEST_GUILESS_MAIN(PostprocessKernelTest)

#include "tst_postprocess_kernel.moc"
