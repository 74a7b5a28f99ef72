#include "guibench.h"

#include "demoview.h"
#include "devicebench.h"
#include "glowfilterwork.h"
#include "mainwindow.h"
#include "nbodywork.h"
#include "sinewavework.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QLCDNumber>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include <sys/resource.h>

namespace {

const int secondsPerTab = 5;
const int startsPerTab = 3;
const int partsMs = 2000;
const int restMs = 3000;

// In the window's tab order.
const char *const kernels[] = { SineWaveWork::kernelName, GlowFilterWork::kernelName, NBodyWork::kernelName };

void waitMs(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// A view reports OpenCL failures in a modal box, which would stop the
// measurement; each such box is closed and its text kept.
QStringList closeErrorBoxes()
{
    QStringList texts;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (box && box->isVisible()) {
            texts << box->text();
            box->done(0);
        }
    }
    return texts;
}

// A click on Start runs the whole Start before it returns.
double timeStarts(MainWindow &window, const QString &tab)
{
    std::vector<double> milliseconds;
    for (int i = 0; i < startsPerTab; ++i) {
        waitMs(300);
        QElapsedTimer clock;
        clock.start();
        window.launch(tab, QString(), true);
        milliseconds.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(milliseconds);
}

// The frame display shows the frames of the second before; the first
// reading includes the Start itself and is left out.
void countFrames(QLCDNumber *display, QJsonObject &view)
{
    std::vector<double> samples;
    QJsonArray shown;
    for (int second = 1; second <= secondsPerTab; ++second) {
        waitMs(1000);
        if (second > 1) {
            samples.push_back(display->intValue());
            shown.append(display->intValue());
        }
    }
    view["frameSamples"] = shown;
    view["framesPerSecond"] = median(samples);
}

// The parts of a frame, in ms, timed apart in frames of their own: waiting
// for each part to finish slows the frame down. The view's ceiling is its
// rate with the kernel's results already in place: its counted frames
// without the kernel's and the transfers' time.
void timeParts(DemoView *demo, QJsonObject &view)
{
    DemoView::timeFrameParts = true;
    demo->resetFrameParts();
    waitMs(partsMs);
    DemoView::timeFrameParts = false;
    const DemoView::FrameParts parts = demo->frameParts();
    const double frames = qMax(parts.frames, 1);
    view["partsMs"] = QJsonObject{ { "scene", parts.scene / frames },         { "readBack", parts.readBack / frames },
                                   { "transfers", parts.transfers / frames }, { "kernel", parts.kernel / frames },
                                   { "upload", parts.upload / frames },       { "finalDraw", parts.finalDraw / frames },
                                   { "frame", parts.frame / frames } };
    const double counted = 1e3 / view["framesPerSecond"].toDouble();
    const double rest = counted - (parts.kernel + parts.transfers) / frames;
    view["ceilingFramesPerSecond"] = rest > 0.0 ? 1e3 / rest : 0.0;
}

double seconds(const timeval &time)
{
    return time.tv_sec + time.tv_usec / 1e6;
}

// The window with no view running, as it sits on a desktop: how often its
// threads wake (each wake-up is a context switch) and how much of one core
// it takes. The processor sleeps between wake-ups, deeper the rarer they are.
QJsonObject measureRest(int milliseconds)
{
    rusage before;
    rusage after;
    QElapsedTimer clock;
    getrusage(RUSAGE_SELF, &before);
    clock.start();
    waitMs(milliseconds);
    getrusage(RUSAGE_SELF, &after);
    const double wall = clock.nsecsElapsed() / 1e9;
    const long switches = (after.ru_nvcsw + after.ru_nivcsw) - (before.ru_nvcsw + before.ru_nivcsw);
    const double busy = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime)
                        - seconds(before.ru_stime);
    return { { "wakeUpsPerSecond", switches / wall }, { "coreShare", busy / wall } };
}

} // namespace

QJsonObject runGuiBench(int platformIndex, int deviceIndex)
{
    MainWindow window;
    window.show();
    window.resize(768, 512);
    waitMs(1000);
    const QJsonObject rest = measureRest(restMs);
    QTimer boxCloser;
    QStringList errors;
    QObject::connect(&boxCloser, &QTimer::timeout, [&errors] { errors << closeErrorBoxes(); });
    boxCloser.start(100);

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    auto *display = window.findChild<QLCDNumber *>(QStringLiteral("lcdFC"));
    auto *devices = window.findChild<QComboBox *>(QStringLiteral("cmbDevice"));
    const QString refused = window.launch(QString(), QStringLiteral("%1:%2").arg(platformIndex).arg(deviceIndex), false);
    QJsonObject report{ { "deviceName", devices ? devices->currentText() : QString() }, { "rest", rest } };
    if (!tabs || !display || !refused.isEmpty()) {
        report["error"] = refused.isEmpty() ? QStringLiteral("the window lacks its tabs") : refused;
        return report;
    }

    QJsonArray measured;
    for (int i = 0; i < MainWindow::demoNames().size(); ++i) {
        QJsonObject view{ { "startMs", timeStarts(window, MainWindow::demoNames()[i]) },
                          { "tab", tabs->tabText(i) },
                          { "kernel", QLatin1String(kernels[i]) } };
        auto *demo = tabs->currentWidget()->findChild<DemoView *>();
        view["size"] = QStringLiteral("%1x%2").arg(demo->width()).arg(demo->height());
        countFrames(display, view);
        timeParts(demo, view);
        if (!errors.isEmpty())
            view["error"] = errors.join(QStringLiteral("; "));
        errors.clear();
        measured.append(view);
    }
    report["views"] = measured;
    return report;
}
