#ifndef WINDOWHARNESS_H
#define WINDOWHARNESS_H

#include "demoview.h"
#include "mainwindow.h"

#include <QTabWidget>
#include <QTest>

#include <memory>

// The main window, shown and exposed at the size the tests lay it out at.
inline std::unique_ptr<MainWindow> openWindow()
{
    std::unique_ptr<MainWindow> window(new MainWindow);
    window->show();
    window->resize(768, 512);
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("main window was not exposed");
    return window;
}

inline DemoView *viewOfTab(MainWindow &window, int tab)
{
    return window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->widget(tab)->findChild<DemoView *>();
}

#endif
