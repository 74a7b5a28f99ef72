#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "clinventory.h"

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

class DemoView;
class OGLWdgt;
class OGLPP;
class oglnbody;
class oclInfo;
class oglinfo;
class QTimer;

// The program's window: three demonstration tabs, their Start buttons and
// sliders, the platform and device selectors, the frame counter and the
// "About" menu with its two information dialogs.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The names --tab takes, in tab order.
    static QStringList demoNames();
    // Why the tab named tab (none: the first) or the device "P:D" of
    // inventory (none: the selectors' choice) cannot be opened, or nothing.
    // Needs no window: a wrong argument is refused before any view makes
    // an OpenGL context.
    static QString refusal(const QString &tab, const QString &device, const ClInventory &inventory);
    // Opens the named tab (none: the first) and selects the device "P:D"
    // (none: the selectors' choice). Returns why it refused, or nothing.
    QString choose(const QString &tab, const QString &device);
    // Presses the current tab's Start.
    void startCurrentTab();
    // choose, then startCurrentTab when asked to and nothing was refused.
    QString launch(const QString &tab, const QString &device, bool start);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void on_pbNBody_clicked();
    void on_cmbDevice_currentIndexChanged(int index);
    void on_cmbPlatform_currentIndexChanged(int index);
    void on_pbPPStart_clicked();
    void on_hsFreq_valueChanged(int value);
    void on_tabWidget_currentChanged(int index);
    void on_horizontalSlider_valueChanged(int value);
    void on_pushButton_2_clicked();
    void OpenFrmInfo();
    void OpenFrmOGLInfo();

private:
    void createViews();
    void nameAfterTab(QWidget *view);
    QTimer *createTimer(const char *name, DemoView *view, void (DemoView::*slot)());
    void createTimers();
    void fillPlatforms();
    void startView(DemoView *view);
    void activateView(DemoView *view);
    void animateCurrentView();
    void routeFrameDisplay(DemoView *view);
    void resizeViews();

    ClInventory inventory;
    Ui::MainWindow *ui;
    OGLWdgt *oglWdgt;
    OGLPP *oglPP;
    oglnbody *oglNBody;
    oclInfo *frmInfo;
    oglinfo *frmOGLInfo;
    QTimer *tmrWdgtAnimate;
    QTimer *tmrWdgtFrames;
    QTimer *tmrPPAnimate;
    QTimer *tmrPPFrames;
    QTimer *tmrNBodyAnimate;
    QTimer *tmrNBodyFrames;
};

#endif
