#ifndef GLOWFILTER_H
#define GLOWFILTER_H

// The post-processing filter written from its description, independent of
// the kernel and of the benchmark's host reference, for the tests of all
// three.

#include <QVector>
#include <cmath>
#include <QtGlobal>

namespace GlowFilter {

// 32-bit words as the kernel and the view's pixel buffers hold them: blue
// in bits 0-7, green 8-15, red 16-23.
struct Image
{
    int width = 0;
    int height = 0;
    QVector<quint32> pixels;

    quint32 at(int x, int y) const { return pixels[y * width + x]; }
};

inline int channel(quint32 p, int i)
{
    return int((p >> (8 * i)) & 0xff);
}

inline quint32 pixel(int red, int green, int blue)
{
    return quint32(red) << 16 | quint32(green) << 8 | quint32(blue);
}

inline Image uniform(int width, int height, quint32 value)
{
    return Image{ width, height, QVector<quint32>(width * height, value) };
}

// Over the disc of offsets with dx^2 + dy^2 <= radius^2 around a pixel, a
// sample whose channel sum over 765 exceeds threshold counts weight times;
// the average is truncated and clamped to 255; samples outside the image
// take the nearest edge pixel. The view's parameters are exact in doubles:
// a channel sum above 612 counts four times.
inline Image filtered(const Image &in, int radius = 4, double threshold = 0.8, double weight = 4.0)
{
    Image out{ in.width, in.height, QVector<quint32>(in.pixels.size()) };
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            double sum[3] = { 0, 0, 0 };
            int samples = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    const quint32 p = in.at(qBound(0, x + dx, in.width - 1), qBound(0, y + dy, in.height - 1));
                    const double w = (channel(p, 0) + channel(p, 1) + channel(p, 2)) / 765.0 > threshold ? weight : 1.0;
                    for (int i = 0; i < 3; ++i)
                        sum[i] += w * channel(p, i);
                    ++samples;
                }
            }
            quint32 result = 0;
            for (int i = 0; i < 3; ++i)
                result |= quint32(qMin(255.0, std::floor(sum[i] / samples))) << (8 * i);
            out.pixels[y * in.width + x] = result;
        }
    }
    return out;
}

} // namespace GlowFilter

#endif
