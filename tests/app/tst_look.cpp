#include "clfault.h"
#include "mainwindow.h"
#include "oclinfo.h"
#include "oglinfo.h"

#include <QtTest>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <memory>

namespace {

// A sheet without its white space, so that two sheets compare equal when
// they say the same thing in the same order.
QString squeezed(const QString &sheet)
{
    return QString(sheet).remove(QRegularExpression(QStringLiteral("\\s")));
}

bool isBlack(QRgb pixel)
{
    return qRed(pixel) < 8 && qGreen(pixel) < 8 && qBlue(pixel) < 8;
}

bool isNearWhite(QRgb pixel)
{
    return qRed(pixel) > 230 && qGreen(pixel) > 230 && qBlue(pixel) > 230;
}

int count(const QImage &image, const QRect &area, bool (*predicate)(QRgb))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += predicate(image.pixel(x, y)) ? 1 : 0;
    return n;
}

} // namespace

// The dark look: which widgets carry a style sheet, which share one, and
// that the window and the dialogs come out black with near-white text.
// What each sheet says is the form's business; the pixels show its effect.
class LookTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void windowWidgetsShareTheirGroupsSheet();
    void dialogsShareTheirSheetsAndTheButtonIsTheStartButtonWithAMinimumWidth();
    void windowIsDrawnBlackWithNearWhiteLabels();
    void platformsDialogIsDrawnBlackWithGreyPlatformRows();

private:
    template <typename T = QWidget>
    T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    // Every group's widgets carry one sheet of their own, the same within
    // the group and different from every other group's; no other widget
    // of top carries one.
    void verifySheetGroups(QWidget *top, const QList<QStringList> &groups);

    std::unique_ptr<MainWindow> window;
    oclInfo *platforms = nullptr;
    oglinfo *openGl = nullptr;
};

void LookTest::initTestCase()
{
    ClFault::reset();
    window.reset(new MainWindow);
    platforms = window->findChild<oclInfo *>();
    openGl = window->findChild<oglinfo *>();
    QVERIFY(platforms && openGl);
}

void LookTest::cleanupTestCase()
{
    window.reset();
}

void LookTest::verifySheetGroups(QWidget *top, const QList<QStringList> &groups)
{
    QStringList sheets;
    QStringList styled;
    for (const QStringList &group : groups) {
        QWidget *first = group.first() == top->objectName() ? top : top->findChild<QWidget *>(group.first());
        QVERIFY2(first && !first->styleSheet().isEmpty(), qPrintable(group.first()));
        for (const QString &name : group)
            QVERIFY2(name == top->objectName() || top->findChild<QWidget *>(name)->styleSheet() == first->styleSheet(),
                     qPrintable(name));
        sheets << squeezed(first->styleSheet());
        styled << group;
    }
    QCOMPARE(sheets.removeDuplicates(), 0);
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (qobject_cast<QDialog *>(widget) || (widget->window() != top && widget->window() != widget))
            continue;   // the dialogs have sheets of their own
        QVERIFY2(styled.contains(widget->objectName()) || widget->styleSheet().isEmpty(),
                 qPrintable(widget->objectName() + " (" + widget->metaObject()->className() + ") has a sheet"));
    }
}

void LookTest::windowWidgetsShareTheirGroupsSheet()
{
    verifySheetGroups(window.get(), { { "MainWindow" }, { "tabWidget" }, { "pushButton_2", "pbPPStart", "pbNBody" },
                                      { "horizontalSlider", "hsFreq" }, { "label", "label_2", "label_3", "label_4" },
                                      { "cmbPlatform", "cmbDevice" } });
}

void LookTest::dialogsShareTheirSheetsAndTheButtonIsTheStartButtonWithAMinimumWidth()
{
    verifySheetGroups(platforms, { { "oclInfo" }, { "twInfo" }, { "pbClose" } });
    verifySheetGroups(openGl,
                      { { "oglinfo" }, { "twInfo" }, { "pbClose" }, { "lblVersion", "lblVendor", "lblRenderer" } });
    for (const char *name : { "twInfo", "pbClose" })
        QCOMPARE(openGl->findChild<QWidget *>(name)->styleSheet(), platforms->findChild<QWidget *>(name)->styleSheet());
    QCOMPARE(openGl->styleSheet(), platforms->styleSheet());

    const QString start = squeezed(child("pbNBody")->styleSheet());
    QVERIFY(start.contains("min-height:25px;"));
    QCOMPARE(squeezed(platforms->findChild<QWidget *>("pbClose")->styleSheet()),
             QString(start).replace("min-height:25px;", "min-height:25px;min-width:60px;"));
}

void LookTest::windowIsDrawnBlackWithNearWhiteLabels()
{
    window->show();
    window->resize(768, 512);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(50);
    const QImage image = window->grab().toImage();

    // The margin between the tabs and the window's edge.
    const QWidget *tabs = child("tabWidget");
    const QPoint corner = tabs->mapTo(window.get(), QPoint(0, 0));
    QVERIFY(isBlack(image.pixel(corner.x() / 2, corner.y() + tabs->height() / 2)));

    for (const char *name : { "label_3", "label_4" }) {
        const QWidget *label = child(name);
        const QRect area(label->mapTo(window.get(), QPoint(0, 0)), label->size());
        QVERIFY2(count(image, area, isNearWhite) > 10, name);
        QVERIFY2(count(image, area, isBlack) > area.width() * area.height() / 2, name);
    }

    // The menu bar's gradient: black at the top, light grey near the bottom.
    const QWidget *bar = window->menuBar();
    const QPoint barTop = bar->mapTo(window.get(), QPoint(bar->width() - 4, 0));
    QVERIFY(isBlack(image.pixel(barTop)));
    const QRgb lower = image.pixel(barTop + QPoint(0, bar->height() * 85 / 100));
    QVERIFY2(qGray(lower) > 150, qPrintable(QString::number(qGray(lower))));
    window->hide();
}

void LookTest::platformsDialogIsDrawnBlackWithGreyPlatformRows()
{
    platforms->show();
    QVERIFY(QTest::qWaitForWindowExposed(platforms));
    QTest::qWait(50);
    const QImage image = platforms->grab().toImage();
    QVERIFY(isBlack(image.pixel(2, 2)));

    auto *tree = platforms->findChild<QTreeWidget *>("twInfo");
    QVERIFY(tree->topLevelItemCount() >= 1);
    // Near the right end of the platform's cell, past its name.
    const QRect row = tree->visualItemRect(tree->topLevelItem(0));
    const int x = tree->columnViewportPosition(0) + tree->columnWidth(0) - 5;
    const QPoint inRow = tree->viewport()->mapTo(platforms, QPoint(x, row.center().y()));
    QCOMPARE(QColor(image.pixel(inRow)), QColor(219, 222, 223));
    platforms->hide();
}

QTEST_MAIN(LookTest)
#include "tst_look.moc"
