#include "guibench.h"

#include "devicebench.h"
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLCDNumber>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace {

const int kSecondsPerTab = 5;
const int kStartsPerTab = 3;

struct ViewUnderTest
{
    const char *startButton;
    const char *kernel;
};

// The tabs in the window's order, each known by its Start button.
const ViewUnderTest kViews[] = {
    { "pushButton_2", "sine_wave" },
    { "pbPPStart", "postprocess" },
    { "pbNBody", "nbody_sim" },
};

void waitMs(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The tab page that holds widget, or -1.
int tabIndexOf(QTabWidget *tabs, QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        const int index = tabs->indexOf(w);
        if (index >= 0)
            return index;
    }
    return -1;
}

template <typename T>
double median(std::vector<T> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// A view reports OpenCL failures in a modal box, which would stop the
// measurement; this closes each such box and keeps its text.
class ErrorBoxCloser : public QObject
{
public:
    explicit ErrorBoxCloser(QObject *parent) : QObject(parent)
    {
        connect(&timer, &QTimer::timeout, this, &ErrorBoxCloser::closeBoxes);
        timer.start(100);
    }

    QString takeMessages()
    {
        QString text = messages.join(QStringLiteral("; "));
        messages.clear();
        return text;
    }

private:
    void closeBoxes()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                messages << box->windowTitle() + QStringLiteral(": ") + box->text();
                box->done(0);
            }
        }
    }

    QTimer timer;
    QStringList messages;
};

// A click on Start runs the whole Start before it returns.
double timeStarts(QPushButton *button)
{
    std::vector<double> milliseconds;
    for (int i = 0; i < kStartsPerTab; ++i) {
        waitMs(300);
        QElapsedTimer clock;
        clock.start();
        button->click();
        milliseconds.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(milliseconds);
}

} // namespace

GuiReport runGuiBench(int platformIndex, int deviceIndex, DeviceBench &bench)
{
    GuiReport report;
    report.platformIndex = platformIndex;
    report.deviceIndex = deviceIndex;

    MainWindow window;
    window.show();
    window.resize(768, 512);
    ErrorBoxCloser closer(&window);
    waitMs(1000);

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    auto *display = window.findChild<QLCDNumber *>(QStringLiteral("lcdFC"));
    auto *platforms = window.findChild<QComboBox *>(QStringLiteral("cmbPlatform"));
    auto *devices = window.findChild<QComboBox *>(QStringLiteral("cmbDevice"));
    auto *ppPlaceholder = window.findChild<QWidget *>(QStringLiteral("wgPP"));
    if (!tabs || !display || !platforms || !devices || !ppPlaceholder) {
        report.error = "the window lacks its tabs, frame display or selectors";
        return report;
    }
    platforms->setCurrentIndex(platformIndex);
    devices->setCurrentIndex(deviceIndex);
    if (platforms->currentIndex() != platformIndex || devices->currentIndex() != deviceIndex) {
        report.error = "the window's selectors do not offer this device";
        return report;
    }
    report.deviceName = devices->currentText().toStdString();

    for (const ViewUnderTest &view : kViews) {
        GuiFigure figure;
        figure.kernel = view.kernel;
        auto *button = window.findChild<QPushButton *>(QLatin1String(view.startButton));
        const int tab = button ? tabIndexOf(tabs, button) : -1;
        if (tab < 0) {
            figure.error = std::string("no tab with the Start button ") + view.startButton;
            report.figures.push_back(figure);
            continue;
        }
        figure.tab = tabs->tabText(tab).toStdString();
        tabs->setCurrentIndex(tab);
        figure.startMs = timeStarts(button);
        // The frame display shows the frames of the second before; the
        // first reading includes the start itself and is left out.
        for (int second = 1; second <= kSecondsPerTab; ++second) {
            waitMs(1000);
            if (second > 1)
                figure.frameSamples.push_back(display->intValue());
        }
        figure.framesPerSecond = median(figure.frameSamples);
        figure.error = closer.takeMessages().toStdString();
        report.figures.push_back(figure);
    }
    const QSize ppSize = ppPlaceholder->size();
    window.close();
    waitMs(100);

    for (GuiFigure &figure : report.figures) {
        if (figure.tab.empty())
            continue;
        Figure kernelOnly;
        if (figure.kernel == "sine_wave")
            kernelOnly = bench.sineWave(256, 256);
        else if (figure.kernel == "nbody_sim")
            kernelOnly = bench.nbody(1024);
        else
            kernelOnly = bench.postprocess(ppSize.width(), ppSize.height());
        figure.size = kernelOnly.size;
        if (!kernelOnly.error.empty()) {
            figure.error += (figure.error.empty() ? "" : "; ") + kernelOnly.error;
            continue;
        }
        figure.kernelRunsPerSecond = kernelOnly.device.median > 0.0 ? 1.0 / kernelOnly.device.median
                                                                    : 0.0;
    }
    return report;
}
