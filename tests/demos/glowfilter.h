#ifndef GLOWFILTER_H
#define GLOWFILTER_H

// The post-processing glow written straight from its description, one
// pixel and one sample at a time, so that the kernel, the view and the
// benchmark's host reference are all measured against the same plain sum.

#include <QVector>
#include <QtGlobal>

#include <cmath>

namespace GlowFilter {

// 32-bit words as the kernel and the view's pixel buffers hold them: blue
// in bits 0-7, green 8-15, red 16-23; the top byte is ignored.
struct Image
{
    int width = 0;
    int height = 0;
    QVector<quint32> pixels;
};

inline int channel(quint32 p, int i)
{
    return int((p >> (8 * i)) & 0xff);
}

// Every pixel becomes the average over the disc dx^2 + dy^2 <= radius^2,
// samples outside the image taking the nearest edge pixel; a sample whose
// channel sum over 765 exceeds threshold counts weight times. Each channel
// is truncated and clamped to 255; the top byte comes out 0. The defaults
// are the view's.
inline Image filtered(const Image &in, int radius = 4, double threshold = 0.8, double weight = 4.0)
{
    Image out{ in.width, in.height, QVector<quint32>(in.pixels.size()) };
    for (int i = 0; i < in.pixels.size(); ++i) {
        const int x = i % in.width, y = i / in.width;
        double sum[3] = { 0, 0, 0 }, samples = 0;
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                if (dx * dx + dy * dy > radius * radius)
                    continue;
                const quint32 p = in.pixels[qBound(0, y + dy, in.height - 1) * in.width
                                            + qBound(0, x + dx, in.width - 1)];
                const double w = (channel(p, 0) + channel(p, 1) + channel(p, 2)) / 765.0 > threshold ? weight : 1.0;
                for (int c = 0; c < 3; ++c)
                    sum[c] += w * channel(p, c);
                ++samples;
            }
        }
        for (int c = 0; c < 3; ++c)
            out.pixels[i] |= quint32(qMin(255.0, std::floor(sum[c] / samples))) << (8 * c);
    }
    return out;
}

} // namespace GlowFilter

#endif
