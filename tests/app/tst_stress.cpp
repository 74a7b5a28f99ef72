#include "clfault.h"
#include "windowharness.h"

#include <QtTest>
#include <QtWidgets>

#include <malloc.h>
#include <unistd.h>

namespace {

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    const QList<QByteArray> fields = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ') : QList<QByteArray>();
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
};

void StressTest::thousandStartsDoNotGrow()
{
    const int starts = qEnvironmentVariableIsSet("KORVANE_STRESS_STARTS")
                           ? qEnvironmentVariableIntValue("KORVANE_STRESS_STARTS") : 1000;
    DemoView::checkGlErrors = true;
    const std::unique_ptr<MainWindow> window = openWindow();
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const char *buttons[] = { "pushButton_2", "pbPPStart", "pbNBody" };
    long resident[2] = {}, heap[2] = {};   // after 100 Starts, and at the last sample
    int mostLive = 0;
    // Counts calls without recording them: a record would itself grow.
    ClFault::reset();
    for (int i = 0; i < starts; ++i) {
        tabs->setCurrentIndex(i % 3);
        QTest::mouseClick(window->findChild<QPushButton *>(QLatin1String(buttons[i % 3])), Qt::LeftButton);
        QTest::qWait(4);
        mostLive = qMax(mostLive, ClFault::liveObjects());
        if (i % 25 == 24) {
            const QSize normal = window->size();
            window->resize(normal.width(), 120);
            for (DemoView *view : window->findChildren<DemoView *>())
                view->resize(view->width(), 1);
            QTest::qWait(4);
            window->resize(normal);
        }
        if (i % 100 != 99)
            continue;
        for (QAction *entry : window->menuBar()->actions()[0]->menu()->actions())
            entry->trigger();
        QTest::qWait(4);
        for (QDialog *dialog : window->findChildren<QDialog *>())
            dialog->close();
        // Each view has a working set of its own: memory is compared with
        // the sine-wave view running.
        if (i % 3 == 0) {
            resident[resident[0] ? 1 : 0] = residentKiB();
            heap[heap[0] ? 1 : 0] = heapInUseKiB();
        }
    }
    const int frames = ClFault::callCount("clEnqueueNDRangeKernel");
    qInfo("stress: %d Starts, %d frames; heap in use %ld KiB, then %ld KiB (%+.2f %%); resident %ld KiB, then "
          "%ld KiB (%+.2f %%); at most %d live OpenCL objects, %d GL errors", starts, frames, heap[0], heap[1],
          growth(heap[0], heap[1]), resident[0], resident[1], growth(resident[0], resident[1]), mostLive,
          DemoView::glErrors);
    // AddressSanitizer's allocator holds freed blocks back in a quarantine:
    // there the figures describe the sanitizer, and leaks are its to find.
    QVERIFY2(resident[1], "memory is compared over at least 400 Starts");
#ifndef __SANITIZE_ADDRESS__
    QVERIFY2(growth(heap[0], heap[1]) < 2.0, "heap in use grew");
    QVERIFY2(growth(resident[0], resident[1]) < 5.0, "resident size grew");
#endif
    // Three views, each holding at most a context, a queue, a program, a
    // kernel and four buffers.
    QVERIFY(mostLive <= 24);
    QCOMPARE(DemoView::glErrors, 0);
    QCOMPARE(ClFault::staleHandleUses(), 0);
    QVERIFY(frames >= starts);
}

QTEST_MAIN(StressTest)
#include "tst_stress.moc"
