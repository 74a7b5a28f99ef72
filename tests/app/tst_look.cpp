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

// A style sheet as its rules, in order: "selector { property: value; ... }"
// with the white space the sheet may hold anywhere taken out, so that two
// sheets compare equal when they say the same thing in the same order.
QStringList rules(const QString &sheet)
{
    QString text = sheet.simplified();
    static const QRegularExpression blanks(QStringLiteral("\\s*([{}:;,()])\\s*"));
    text.replace(blanks, QStringLiteral("\\1"));
    if (!text.contains(QLatin1Char('{')))   // declarations without a selector
        text = QLatin1Char('{') + text + QLatin1Char('}');
    QStringList result;
    for (const QString &rule : text.split(QLatin1Char('}'), Qt::SkipEmptyParts)) {
        const QString selector = rule.section(QLatin1Char('{'), 0, 0);
        QStringList declarations = rule.section(QLatin1Char('{'), 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        result << selector + QLatin1Char('{') + declarations.join(QLatin1Char(';')) + QLatin1Char('}');
    }
    return result;
}

QString topToBottom(const char *stops)
{
    return QStringLiteral("qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, %1)").arg(QLatin1String(stops));
}

QString leftToRight(const char *stops)
{
    return QStringLiteral("qlineargradient(x1: 0, y1: 0, x2: 1, y2: 0, %1)").arg(QLatin1String(stops));
}

QString diagonal(const char *stops)
{
    return QStringLiteral("qlineargradient(x1: 0, y1: 0, x2: 1, y2: 1, %1)").arg(QLatin1String(stops));
}

const QString windowSheet = QStringLiteral(
    "QMainWindow { background-color: rgb(0, 0, 0); }"
    "QMenuBar { background-color: %1; color: #fefefe; padding: 2px; }"
    "QMenuBar::item { spacing: 3px; padding: 1px 4px; background: transparent; border-radius: 2px; }"
    "QMenuBar::item:selected { background-color: %2; border-radius: 2px; }"
    "QMenuBar::item:pressed { background-color: %3; }"
    "QMenu { background-color: %4; border-radius: 1px; border: 1px solid black; padding-left: 3px;"
    " padding-right: 3px; padding-top: 1px; padding-bottom: 1px; color: #fefefe; }"
    "QMenu::item { background-color: transparent; }"
    "QMenu::item:selected { border: 2px solid darkgray; border-radius: 1px; background-color: #dbdedf;"
    " color: #000000; }")
    .arg(topToBottom("stop: 0.1 #000000, stop: 0.9 #dbdedf, stop: 1 #000000"),
         topToBottom("stop: 0.1 #000000, stop: 1 #dfdfdf"), topToBottom("stop: 0.1 #dbdedf, stop: 1 #000000"),
         leftToRight("stop: 0.01 #000000, stop: 1 #dbdedf"));

const QString tabSheet = QStringLiteral(
    "QTabWidget::pane { border: 2px solid #505051; border-radius: 4px; }"
    "QTabWidget::tab-bar { left: 5px; }"
    "QTabBar::tab { background-color: %1; border-bottom-left-radius: 4px; border-bottom-right-radius: 4px;"
    " border: 1px solid #505051; min-width: 8ex; padding: 2px; color: #fefefe; }"
    "QTabBar::tab:selected, QTabBar::tab:hover { background-color: %2; }"
    "QTabBar::tab:selected { background-color: %3; border: 2px solid #505051; border-top: 0px;"
    " border-radius: 4px; border-top-left-radius: 0px; border-top-right-radius: 0px; }")
    .arg(topToBottom("stop: 0 #dbdedf, stop: 1 #000000"), topToBottom("stop: 0.1 #dfdfdf, stop: 1 #000000"),
         topToBottom("stop: 0.4 #000000, stop: 1 #dbdedf"));

QString buttonSheet(const char *extra)
{
    return QStringLiteral(
        "QPushButton { border: 1px solid #505051; border-radius: 6px; background-color: %1;"
        " min-height: 25px; %2 color: #f5f5f5; }"
        "QPushButton:hover { background-color: %3; color: #ffffff; }"
        "QPushButton:pressed { background-color: %4; color: #ffffff; }")
        .arg(topToBottom("stop: 0.4 #000000, stop: 1 #dbdedf"), QLatin1String(extra),
             topToBottom("stop: 0.3 #000000, stop: 1 #efefef"), topToBottom("stop: 0 #dbdedf, stop: 0.5 #000000"));
}

const QString sliderSheet = QStringLiteral(
    "QSlider::groove:horizontal { border: 1px solid #999999; height: 1px; background: %1; margin: 2px 0; }"
    "QSlider::handle:horizontal { background: %2; border: 1px solid #5c5c5c; width: 11px; margin: -2px 0;"
    " border-radius: 3px; }")
    .arg(topToBottom("stop: 0 #000000, stop: 1 #fefefe"), diagonal("stop: 0 #000000, stop: 1 #fefefe"));

const QString labelSheet = QStringLiteral("color: #fefefe;");

const QString selectorSheet = QStringLiteral(
    "QComboBox { border: 1px solid #505051; border-radius: 3px; padding: 1px 18px 1px 3px; min-width: 150px;"
    " background-color: %1; color: #fefefe; }"
    "QComboBox:hover { background-color: %2; color: #ffffff; }"
    "QComboBox::drop-down { background-color: %3; border-top-right-radius: 3px;"
    " border-bottom-right-radius: 3px; border-left: 1px solid #505051; }"
    "QComboBox QAbstractItemView { border: 2px solid darkgray; background-color: %4; color: #fefefe;"
    " selection-background-color: #dbdedf; selection-color: #000000; }")
    .arg(topToBottom("stop: 0.3 #000000, stop: 1 #dbdedf"), topToBottom("stop: 0.2 #000000, stop: 1 #efefef"),
         topToBottom("stop: 0.05 #000000, stop: 1 #dbdedf"), leftToRight("stop: 0.01 #000000, stop: 1 #dbdedf"));

const QString dialogSheet = QStringLiteral("QDialog { background-color: rgb(0, 0, 0); }");

const QString treeSheet = QStringLiteral(
    "QTreeWidget { background-color: rgb(255, 255, 255); }"
    "QScrollBar:vertical { border: 1px solid #505051; background: #fefefe; width: 20px; margin: 22px 0 22px 0; }"
    "QScrollBar::handle:vertical { background-color: %1; border: 1px solid #505051; border-radius: 2px;"
    " min-height: 30px; }"
    "QScrollBar::add-line:vertical { border: 1px solid #505051; background-color: %1; border-radius: 2px;"
    " height: 20px; subcontrol-position: bottom; subcontrol-origin: margin; }"
    "QScrollBar::sub-line:vertical { border: 1px solid #505051; background-color: %1; border-radius: 2px;"
    " height: 20px; subcontrol-position: top; subcontrol-origin: margin; }"
    "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical { border: 2px solid #505051;"
    " border-radius: 2px; width: 3px; height: 3px; background: white; }")
    .arg(leftToRight("stop: 0 #000000, stop: 1 #dfdfdf"));

const QString dialogLabelSheet = QStringLiteral("QLabel { color: #fefefe; }");

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

// The dark look: which widget carries which style sheet, what each sheet
// says, and that the window and the dialogs come out black with near-white
// text.
class LookTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // Main window sheets
    void windowSheetStylesWindowMenuBarAndMenu();
    void tabSheetStylesTheTabs();
    void startButtonsCarryTheButtonSheet();
    void slidersCarryTheSliderSheet();
    void labelsCarryTheLabelSheet();
    void selectorsCarryTheSelectorSheet();
    void noOtherWidgetOfTheWindowHasASheet();

    // Dialog sheets
    void dialogsAreBlackWithAWhiteTree();
    void dialogButtonIsTheStartButtonWithAMinimumWidth();
    void openGlLabelsAreNearWhite();
    void noOtherWidgetOfTheDialogsHasASheet();

    // As drawn
    void windowIsDrawnBlackWithNearWhiteLabels();
    void platformsDialogIsDrawnBlackWithGreyPlatformRows();

private:
    template <typename T = QWidget>
    T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    void verifyNoOtherSheet(QWidget *top, const QStringList &styled);

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

void LookTest::windowSheetStylesWindowMenuBarAndMenu()
{
    QCOMPARE(rules(window->styleSheet()), rules(windowSheet));
}

void LookTest::tabSheetStylesTheTabs()
{
    QCOMPARE(rules(child("tabWidget")->styleSheet()), rules(tabSheet));
    // The selected tab's own rule stands last, so it wins over hover.
    QVERIFY(rules(tabSheet).last().startsWith("QTabBar::tab:selected{"));
}

void LookTest::startButtonsCarryTheButtonSheet()
{
    for (const char *name : { "pushButton_2", "pbPPStart", "pbNBody" })
        QCOMPARE(rules(child(name)->styleSheet()), rules(buttonSheet("")));
}

void LookTest::slidersCarryTheSliderSheet()
{
    for (const char *name : { "horizontalSlider", "hsFreq" })
        QCOMPARE(rules(child(name)->styleSheet()), rules(sliderSheet));
}

void LookTest::labelsCarryTheLabelSheet()
{
    for (const char *name : { "label", "label_2", "label_3", "label_4" })
        QCOMPARE(rules(child(name)->styleSheet()), rules(labelSheet));
}

void LookTest::selectorsCarryTheSelectorSheet()
{
    for (const char *name : { "cmbPlatform", "cmbDevice" })
        QCOMPARE(rules(child(name)->styleSheet()), rules(selectorSheet));
}

void LookTest::verifyNoOtherSheet(QWidget *top, const QStringList &styled)
{
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (qobject_cast<QDialog *>(widget) || (widget->window() != top && widget->window() != widget))
            continue;   // the dialogs have sheets of their own
        if (styled.contains(widget->objectName()))
            continue;
        QVERIFY2(widget->styleSheet().isEmpty(),
                 qPrintable(widget->objectName() + " (" + widget->metaObject()->className() + ") has a sheet"));
    }
}

void LookTest::noOtherWidgetOfTheWindowHasASheet()
{
    verifyNoOtherSheet(window.get(), { "tabWidget", "pushButton_2", "pbPPStart", "pbNBody", "horizontalSlider",
                                       "hsFreq", "label", "label_2", "label_3", "label_4", "cmbPlatform",
                                       "cmbDevice" });
    for (const char *name : { "centralWidget", "widget", "wgPP", "wgNBody", "lcdFC", "menuBar", "tab", "tab_2",
                              "tab_3" })
        QVERIFY2(child(name) && child(name)->styleSheet().isEmpty(), name);
}

void LookTest::dialogsAreBlackWithAWhiteTree()
{
    for (QDialog *dialog : { static_cast<QDialog *>(platforms), static_cast<QDialog *>(openGl) }) {
        QCOMPARE(rules(dialog->styleSheet()), rules(dialogSheet));
        QCOMPARE(rules(dialog->findChild<QWidget *>("twInfo")->styleSheet()), rules(treeSheet));
        QCOMPARE(rules(dialog->findChild<QWidget *>("pbClose")->styleSheet()), rules(buttonSheet("min-width: 60px;")));
    }
}

void LookTest::dialogButtonIsTheStartButtonWithAMinimumWidth()
{
    QStringList start = rules(child("pbNBody")->styleSheet());
    start[0].replace("min-height:25px;", "min-height:25px;min-width:60px;");
    QCOMPARE(rules(platforms->findChild<QWidget *>("pbClose")->styleSheet()), start);
}

void LookTest::openGlLabelsAreNearWhite()
{
    for (const char *name : { "lblVersion", "lblVendor", "lblRenderer" })
        QCOMPARE(rules(openGl->findChild<QWidget *>(name)->styleSheet()), rules(dialogLabelSheet));
}

void LookTest::noOtherWidgetOfTheDialogsHasASheet()
{
    verifyNoOtherSheet(platforms, { "twInfo", "pbClose" });
    verifyNoOtherSheet(openGl, { "twInfo", "pbClose", "lblVersion", "lblVendor", "lblRenderer" });
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
