#include "guibench.h"

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

#include <algorithm>

namespace {

const int secondsPerTab = 5;
const int startsPerTab = 3;

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
QJsonObject runView(MainWindow &window, const QString &tab, QTabWidget *tabs, QLCDNumber *display)
{
    QJsonObject view{ { QStringLiteral("startMs"), timeStarts(window, tab) },
                      { QStringLiteral("tab"), tabs->tabText(tabs->currentIndex()) } };
    std::vector<double> samples;
    QJsonArray shown;
    for (int second = 1; second <= secondsPerTab; ++second) {
        waitMs(1000);
        if (second > 1) {
            samples.push_back(display->intValue());
            shown.append(display->intValue());
        }
    }
    view[QStringLiteral("frameSamples")] = shown;
    view[QStringLiteral("framesPerSecond")] = median(samples);
    return view;
}

QJsonObject kernelOnly(DeviceBench &bench, const QString &kernel, const QSize &ppSize)
{
    if (kernel == QLatin1String("sine_wave"))
        return bench.sineWave(256, 256);
    if (kernel == QLatin1String("nbody_sim"))
        return bench.nbody(1024);
    return bench.postprocess(ppSize.width(), ppSize.height());
}

} // namespace

QJsonObject runGuiBench(int platformIndex, int deviceIndex, DeviceBench &bench)
{
    MainWindow window;
    window.show();
    window.resize(768, 512);
    QTimer boxCloser;
    QStringList errors;
    QObject::connect(&boxCloser, &QTimer::timeout, [&errors] { errors << closeErrorBoxes(); });
    boxCloser.start(100);
    waitMs(1000);

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    auto *display = window.findChild<QLCDNumber *>(QStringLiteral("lcdFC"));
    auto *devices = window.findChild<QComboBox *>(QStringLiteral("cmbDevice"));
    const QString refused = window.launch(QString(), QStringLiteral("%1:%2").arg(platformIndex).arg(deviceIndex), false);
    QJsonObject report{ { QStringLiteral("deviceName"), devices ? devices->currentText() : QString() } };
    if (!tabs || !display || !refused.isEmpty()) {
        report[QStringLiteral("error")] = refused.isEmpty() ? QStringLiteral("the window lacks its tabs") : refused;
        return report;
    }

    QJsonArray measured;
    for (int i = 0; i < MainWindow::demoNames().size(); ++i) {
        QJsonObject figure = runView(window, MainWindow::demoNames()[i], tabs, display);
        figure[QStringLiteral("kernel")] = QLatin1String(kernels[i]);
        if (!errors.isEmpty())
            figure[QStringLiteral("error")] = errors.join(QStringLiteral("; "));
        errors.clear();
        measured.append(figure);
    }
    const QSize ppSize = window.findChild<QWidget *>(QStringLiteral("wgPP"))->size();
    window.close();
    waitMs(100);

    for (QJsonValueRef value : measured) {
        QJsonObject view = value.toObject();
        const QJsonObject alone = kernelOnly(bench, view[QStringLiteral("kernel")].toString(), ppSize);
        view[QStringLiteral("size")] = alone[QStringLiteral("size")];
        if (alone.contains(QStringLiteral("error")))
            view[QStringLiteral("error")] = alone[QStringLiteral("error")];
        else
            view[QStringLiteral("kernelRunsPerSecond")] =
                1e3 / alone[QStringLiteral("device")].toObject()[QStringLiteral("medianMs")].toDouble();
        value = view;
    }
    report[QStringLiteral("views")] = measured;
    return report;
}
