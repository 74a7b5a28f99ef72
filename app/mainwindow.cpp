#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "heaptrim.h"

#include "oclinfo.h"
#include "oglinfo.h"
#include "oglnbody.h"
#include "oglpp.h"
#include "oglwdgt.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

#include <CL/cl_ext.h>

#include <cstring>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , ui(new Ui::MainWindow)
{
    std::memset(&inventory, 0, sizeof inventory);
    // Before any view draws: the window is what runs them, here and in the
    // benchmark.
    keepFreedHeapTop(64ul << 20);
    ui->setupUi(this);
    createViews();
    frmInfo = new oclInfo(this);
    frmOGLInfo = new oglinfo(this);
    createTimers();
    ui->horizontalSlider->setValue(10);
    ui->hsFreq->setValue(40);
    setWindowTitle(QStringLiteral("OpenCL Korvane"));
    fillPlatforms();
}

MainWindow::~MainWindow()
{
    // The children are destroyed after this object: no signal of theirs
    // may reach its slots on the way.
    ui->tabWidget->disconnect(this);
    ui->cmbPlatform->disconnect(this);
    ui->cmbDevice->disconnect(this);
    delete ui;
    releaseOpenClInventory(inventory);
}

void MainWindow::createViews()
{
    oglWdgt = new OGLWdgt(ui->widget);
    oglPP = new OGLPP(ui->wgPP);
    oglNBody = new oglnbody(ui->wgNBody);
    for (QWidget *view : { static_cast<QWidget *>(oglWdgt), static_cast<QWidget *>(oglPP),
                           static_cast<QWidget *>(oglNBody) })
        nameAfterTab(view);
    resizeViews();
}

// A view's failure report names the tab it stands on: its placeholder
// lies on the tab's page.
void MainWindow::nameAfterTab(QWidget *view)
{
    const int tab = ui->tabWidget->indexOf(view->parentWidget()->parentWidget());
    view->setAccessibleName(ui->tabWidget->tabText(tab));
}

QTimer *MainWindow::createTimer(const char *name, DemoView *view, void (DemoView::*slot)())
{
    QTimer *timer = new QTimer(this);
    timer->setObjectName(QLatin1String(name));
    connect(timer, &QTimer::timeout, view, slot);
    return timer;
}

// The animation timers tick only while there is something to animate (see
// animateCurrentView); the frame counters tick once a second throughout.
void MainWindow::createTimers()
{
    tmrWdgtAnimate = createTimer("tmrWdgtAnimate", oglWdgt, &DemoView::animate);
    tmrWdgtFrames = createTimer("tmrWdgtFrames", oglWdgt, &DemoView::framecount);
    tmrPPAnimate = createTimer("tmrPPAnimate", oglPP, &DemoView::animate);
    tmrPPFrames = createTimer("tmrPPFrames", oglPP, &DemoView::framecount);
    tmrNBodyAnimate = createTimer("tmrNBodyAnimate", oglNBody, &DemoView::animate);
    tmrNBodyFrames = createTimer("tmrNBodyFrames", oglNBody, &DemoView::framecount);
    for (QTimer *frames : { tmrWdgtFrames, tmrPPFrames, tmrNBodyFrames })
        frames->start(1000);
    for (DemoView *view : { static_cast<DemoView *>(oglWdgt), static_cast<DemoView *>(oglPP),
                            static_cast<DemoView *>(oglNBody) })
        connect(view, &DemoView::stoppedRunning, this, &MainWindow::animateCurrentView);
}

void MainWindow::fillPlatforms()
{
    const cl_int scanned = scanOpenClInventory(inventory);
    if (scanned != CL_SUCCESS) {
        // "No platform" sends the user to install a driver: only a missing
        // driver may say so, any other failure names its status.
        const QString why = scanned == CL_PLATFORM_NOT_FOUND_KHR ? noPlatformText() : scanFailureText(scanned).trimmed();
        ui->cmbPlatform->setPlaceholderText(why);
        ui->cmbDevice->setPlaceholderText(why);
        return;
    }
    // The first item makes itself current, which fills the device list.
    for (cl_uint i = 0; i < inventory.numPlatforms; ++i)
        ui->cmbPlatform->addItem(QString::fromLatin1(inventory.platforms[i].name));
    // A driver without devices listed first must not leave nothing to start.
    ui->cmbPlatform->setCurrentIndex(qMax(firstPlatformWithDevice(inventory), 0));
}

QStringList MainWindow::demoNames()
{
    return { QStringLiteral("sine"), QStringLiteral("postprocess"), QStringLiteral("nbody") };
}

QString MainWindow::refusal(const QString &tab, const QString &device, const ClInventory &inventory)
{
    if (!tab.isEmpty() && !demoNames().contains(tab))
        return QStringLiteral("there is no tab \"%1\"; the tabs are %2").arg(tab, demoNames().join(QStringLiteral(", ")));
    int platform = -1;
    int index = -1;
    if (!device.isEmpty() && !(parseDeviceIndexes(device, platform, index) && inventoryDevice(inventory, platform, index)))
        return QStringLiteral("there is no device \"%1\"; korvane-info lists them as P:D").arg(device);
    return QString();
}

QString MainWindow::choose(const QString &tab, const QString &device)
{
    const QString refused = refusal(tab, device, inventory);
    if (!refused.isEmpty())
        return refused;
    ui->tabWidget->setCurrentIndex(tab.isEmpty() ? 0 : demoNames().indexOf(tab));
    int platform = -1;
    int index = -1;
    if (parseDeviceIndexes(device, platform, index)) {
        ui->cmbPlatform->setCurrentIndex(platform);
        ui->cmbDevice->setCurrentIndex(index);
    }
    return QString();
}

void MainWindow::startCurrentTab()
{
    QPushButton *const starts[] = { ui->pushButton_2, ui->pbPPStart, ui->pbNBody };
    starts[ui->tabWidget->currentIndex()]->click();
}

QString MainWindow::launch(const QString &tab, const QString &device, bool start)
{
    const QString refused = choose(tab, device);
    if (refused.isEmpty() && start)
        startCurrentTab();
    return refused;
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    if (event->type() == QEvent::Resize)
        resizeViews();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

void MainWindow::on_pbNBody_clicked()
{
    startView(oglNBody);
}

void MainWindow::on_cmbDevice_currentIndexChanged(int)
{
}

void MainWindow::on_cmbPlatform_currentIndexChanged(int index)
{
    ui->cmbDevice->clear();
    if (index < 0 || cl_uint(index) >= inventory.numPlatforms)
        return;
    const ClPlatformEntry &platform = inventory.platforms[index];
    for (cl_uint j = 0; j < platform.numDevices; ++j)
        ui->cmbDevice->addItem(QString::fromLatin1(platform.devices[j].name));
    ui->cmbDevice->setPlaceholderText(platform.numDevices == 0 ? noDeviceText() : QString());
}

void MainWindow::on_pbPPStart_clicked()
{
    startView(oglPP);
}

void MainWindow::on_hsFreq_valueChanged(int value)
{
    oglWdgt->freq = float(value / 10.0);
}

void MainWindow::on_tabWidget_currentChanged(int index)
{
    const QString text = ui->tabWidget->tabText(index);
    if (text == QLatin1String("OpenGL post-processing"))
        activateView(oglPP);
    if (text == QLatin1String("OpenCL Simple OpenGL Interop"))
        activateView(oglWdgt);
    if (text == QLatin1String("OpenCL N-Body Physics Simulation"))
        activateView(oglNBody);
    resizeViews();
}

void MainWindow::on_horizontalSlider_valueChanged(int value)
{
    oglWdgt->timeStep = float(value / 200.0 + 0.001);
}

void MainWindow::on_pushButton_2_clicked()
{
    startView(oglWdgt);
}

void MainWindow::OpenFrmInfo()
{
    frmInfo->setVisible(true);
}

void MainWindow::OpenFrmOGLInfo()
{
    frmOGLInfo->setVisible(true);
}

void MainWindow::startView(DemoView *view)
{
    view->platformIndex = qMax(ui->cmbPlatform->currentIndex(), -1);
    view->deviceIndex = qMax(ui->cmbDevice->currentIndex(), -1);
    view->setupOpenCl();
    // The Start has released the view's previous objects and the driver its
    // build's scratch memory.
    returnFreedHeapPages();
    routeFrameDisplay(view);
    animateCurrentView();
}

// The selectors follow the view back to the device it was last started on.
void MainWindow::activateView(DemoView *view)
{
    if (view->deviceIndex != -1 && view->platformIndex != -1) {
        ui->cmbPlatform->setCurrentIndex(view->platformIndex);
        ui->cmbDevice->setCurrentIndex(view->deviceIndex);
    }
    routeFrameDisplay(view);
    animateCurrentView();
}

// Only the current tab's view animates, and only while it runs: a 1 ms
// timer with nothing to draw still wakes the processor a thousand times a
// second and keeps it from its deeper sleep states.
void MainWindow::animateCurrentView()
{
    QTimer *const timers[] = { tmrWdgtAnimate, tmrPPAnimate, tmrNBodyAnimate };
    DemoView *const views[] = { oglWdgt, oglPP, oglNBody };
    for (int tab = 0; tab < 3; ++tab) {
        if (tab == ui->tabWidget->currentIndex() && views[tab]->isRunning())
            timers[tab]->start(1);
        else
            timers[tab]->stop();
    }
}

void MainWindow::routeFrameDisplay(DemoView *view)
{
    for (DemoView *each : { static_cast<DemoView *>(oglWdgt), static_cast<DemoView *>(oglPP),
                            static_cast<DemoView *>(oglNBody) })
        each->frameDisplay = each == view ? ui->lcdFC : nullptr;
}

void MainWindow::resizeViews()
{
    oglWdgt->resize(ui->widget->size());
    oglPP->resize(ui->wgPP->size());
    oglNBody->resize(ui->wgNBody->size());
}
