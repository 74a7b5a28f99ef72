#ifndef VIEWHARNESS_H
#define VIEWHARNESS_H

#include <QTest>
#include <QWidget>

// Hosts one demonstration view in a window of its own, shown and exposed,
// with the first platform and device selected, as a user would see it.
template <typename View>
class ViewHarness
{
public:
    explicit ViewHarness(const QSize &size = QSize(320, 240))
        : window(new QWidget)
        , view(new View(window))
    {
        window->resize(size);
        view->resize(size);
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            qWarning("view window was not exposed");
        view->platformIndex = 0;
        view->deviceIndex = 0;
    }
    ~ViewHarness() { delete window; }

    QWidget *const window;
    View *const view;
};

#endif
