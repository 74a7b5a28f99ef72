#include "clfault.h"
#include "demoview.h"
#include "mainwindow.h"

#include <QtTest>
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>

#include <malloc.h>
#include <unistd.h>

namespace {

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

// The bytes the program and its drivers hold on the C library's heap,
// however the heap is laid out in memory.
long heapInUseKiB()
{
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

double growth(long from, long to)
{
    return from ? 100.0 * double(to - from) / double(from) : 0.0;
}

} // namespace

// A thousand Starts on the real window, spread over the three tabs, with
// tab switches, views squeezed to one pixel high and back, and the dialogs
// opened and closed: memory must level off, OpenCL objects stay bounded
// and OpenGL never reports an error.
class StressTest : public QObject
{
    Q_OBJECT

private slots:
    void thousandStartsDoNotGrow();

private:
    void squeezeAndRestore(MainWindow &window, int round);
    void openAndCloseDialogs(MainWindow &window);
};

void StressTest::thousandStartsDoNotGrow()
{
    const int starts = qEnvironmentVariableIsSet("KORVANE_STRESS_STARTS")
                           ? qEnvironmentVariableIntValue("KORVANE_STRESS_STARTS") : 1000;
    DemoView::checkGlErrors = true;
    DemoView::glErrors = 0;
    MainWindow window;
    window.show();
    window.resize(768, 512);
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const char *buttons[] = { "pushButton_2", "pbPPStart", "pbNBody" };
    long baseline = 0, final = 0;
    long heapBaseline = 0, heapFinal = 0;
    int lastSample = 0;
    int mostLive = 0;
    // Counts calls without recording them: a record of every call would
    // itself grow with every Start.
    ClFault::reset();
    for (int i = 0; i < starts; ++i) {
        const int tab = i % 3;
        tabs->setCurrentIndex(tab);
        QTest::mouseClick(window.findChild<QPushButton *>(QLatin1String(buttons[tab])), Qt::LeftButton);
        QTest::qWait(4);
        mostLive = qMax(mostLive, ClFault::liveObjects());
        if (i % 25 == 24)
            squeezeAndRestore(window, i);
        if (i % 100 == 99) {
            openAndCloseDialogs(window);
            qInfo("stress: %d Starts, resident %ld KiB", i + 1, residentKiB());
        }
        // Each view runs with a working set of its own, so memory is
        // compared at one point of the cycle: after the dialogs, with the
        // sine-wave view running.
        if (i % 100 == 99 && tab == 0) {
            final = residentKiB();
            heapFinal = heapInUseKiB();
            lastSample = i + 1;
            if (!baseline) {
                baseline = final;
                heapBaseline = heapFinal;
            }
        }
    }
    const int frames = ClFault::callCount("clEnqueueNDRangeKernel");
    qInfo("stress: %d Starts, %d frames; after 100 and %d Starts: heap in use %ld KiB, then %ld KiB (%+.2f %%); "
          "resident %ld KiB, then %ld KiB (%+.2f %%); at most %d live OpenCL objects, %d GL errors",
          starts, frames, lastSample, heapBaseline, heapFinal, growth(heapBaseline, heapFinal), baseline, final,
          growth(baseline, final), mostLive, DemoView::glErrors);

    // Measured here: heap in use +0.5 %, some 450 bytes a Start that the
    // compiler inside the OpenCL driver keeps from every build; resident
    // size within ±1 %. A buffer leaked per Start breaks the first bound;
    // freed driver memory kept resident breaks the second.
    // AddressSanitizer's allocator replaces the C library's and holds freed
    // blocks back in a quarantine: there the figures describe the sanitizer.
#ifndef __SANITIZE_ADDRESS__
    QVERIFY2(growth(heapBaseline, heapFinal) < 2.0, "heap in use grew");
    QVERIFY2(growth(baseline, final) < 5.0, "resident size grew");
#endif
    // Three views, each holding at most a context, a queue, a program, a
    // kernel and four buffers.
    QVERIFY(mostLive <= 24);
    QCOMPARE(DemoView::glErrors, 0);
    QCOMPARE(ClFault::staleHandleUses(), 0);
    QVERIFY(frames >= starts);
}

void StressTest::squeezeAndRestore(MainWindow &window, int round)
{
    const QSize normal = window.size();
    window.resize(normal.width(), 120);
    for (DemoView *view : window.findChildren<DemoView *>())
        view->resize(view->width(), 1);
    QTest::qWait(round % 2 ? 4 : 0);
    window.resize(normal);
    QTest::qWait(4);
}

void StressTest::openAndCloseDialogs(MainWindow &window)
{
    for (QAction *entry : window.menuBar()->actions()[0]->menu()->actions())
        entry->trigger();
    QTest::qWait(4);
    for (QDialog *dialog : window.findChildren<QDialog *>())
        dialog->close();
}

QTEST_MAIN(StressTest)
#include "tst_stress.moc"
