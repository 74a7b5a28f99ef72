#include "viewharness.h"

int countPixels(QGLWidget *view, const std::function<bool(QRgb)> &predicate)
{
    const QImage image = view->grabFrameBuffer().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            count += predicate(line[x]) ? 1 : 0;
    }
    return count;
}

bool isBlack(QRgb pixel)
{
    return qRed(pixel) == 0 && qGreen(pixel) == 0 && qBlue(pixel) == 0;
}
