#include "glreport.h"
#include "oglinfo.h"

#include <QtTest>
#include <QTextDocument>
#include <QLabel>
#include <QOpenGLContext>
#include <QPushButton>
#include <QTreeWidget>

// The "OpenGL" dialog as a user meets it, on the machine's OpenGL driver.
class OglInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // Form
    void titledOpenGLAt256By512();
    void labelsStandAboveTheListAndCloseBelowIt();

    // Content
    void asksOpenGlWithoutBeingShown();
    void leavesNoContextCurrent();
    void labelsShowTheDriverStringsInBold();
    void listsEveryExtensionInDriverOrder();
    void headerCountsTheExtensions();

    // Lifetime
    void closeHidesAndReopeningShowsTheSameContent();
    void escapeHidesTheDialog();
    void languageChangeResetsLabelsAndHeaderOnly();

private:
    QStringList rows() const;

    oglinfo *dialog = nullptr;
    QTreeWidget *tree = nullptr;
    QLabel *version = nullptr;
    QLabel *vendor = nullptr;
    QLabel *renderer = nullptr;
    GlStrings driver;
};

void OglInfoTest::initTestCase()
{
    dialog = new oglinfo(nullptr);
    tree = dialog->findChild<QTreeWidget *>("twInfo");
    version = dialog->findChild<QLabel *>("lblVersion");
    vendor = dialog->findChild<QLabel *>("lblVendor");
    renderer = dialog->findChild<QLabel *>("lblRenderer");
    QVERIFY(tree && version && vendor && renderer);
    driver = queryGlStrings();
    QVERIFY2(driver.haveContext, "this machine's OpenGL driver gives no context");
}

void OglInfoTest::cleanupTestCase()
{
    delete dialog;
}

QStringList OglInfoTest::rows() const
{
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(0);
    return texts;
}

void OglInfoTest::titledOpenGLAt256By512()
{
    QCOMPARE(dialog->windowTitle(), QStringLiteral("OpenGL"));
    QCOMPARE(dialog->size(), QSize(256, 512));
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->isModal());
}

void OglInfoTest::labelsStandAboveTheListAndCloseBelowIt()
{
    auto *close = dialog->findChild<QPushButton *>("pbClose");
    QCOMPARE(close->text(), QStringLiteral("Close"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->size(), QSize(256, 512));
    QVERIFY(version->geometry().bottom() < vendor->geometry().top());
    QVERIFY(vendor->geometry().bottom() < renderer->geometry().top());
    QVERIFY(renderer->geometry().bottom() < tree->geometry().top());
    QVERIFY(tree->geometry().bottom() < close->geometry().top());
    QVERIFY(close->geometry().right() >= tree->geometry().right() - 1);
    dialog->hide();
}

void OglInfoTest::asksOpenGlWithoutBeingShown()
{
    // The dialog was built hidden, yet it holds the driver's strings.
    QVERIFY(!version->text().contains(GlFormat::unavailable()));
    QVERIFY(tree->topLevelItemCount() > 1);
}

void OglInfoTest::leavesNoContextCurrent()
{
    oglinfo another(nullptr);
    QVERIFY(!QOpenGLContext::currentContext());
}

void OglInfoTest::labelsShowTheDriverStringsInBold()
{
    QCOMPARE(version->text(), "Version: <b>" + driver.version + "</b>");
    QCOMPARE(vendor->text(), "Vendor: <b>" + driver.vendor + "</b>");
    QCOMPARE(renderer->text(), "Renderer: <b>" + driver.renderer + "</b>");
    QCOMPARE(version->textFormat(), Qt::AutoText);
    QVERIFY(Qt::mightBeRichText(version->text()));
}

void OglInfoTest::listsEveryExtensionInDriverOrder()
{
    QCOMPARE(rows(), GlFormat::extensionList(driver.extensions));
    QVERIFY(rows().contains(QStringLiteral("GL_ARB_vertex_buffer_object")));
    QCOMPARE(tree->topLevelItem(0)->type(), 0);
}

void OglInfoTest::headerCountsTheExtensions()
{
    QCOMPARE(tree->columnCount(), 1);
    QCOMPARE(tree->headerItem()->text(0), GlFormat::extensionsHeader(tree->topLevelItemCount()));
    QVERIFY(tree->headerItem()->text(0).startsWith("Extensions ("));
}

void OglInfoTest::closeHidesAndReopeningShowsTheSameContent()
{
    const QStringList before = rows();
    const QString label = version->text();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QTest::mouseClick(dialog->findChild<QPushButton *>("pbClose"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());

    dialog->setVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(rows(), before);
    QCOMPARE(version->text(), label);
    dialog->hide();
}

void OglInfoTest::escapeHidesTheDialog()
{
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
}

// Kept last: the form's texts replace what the driver told.
void OglInfoTest::languageChangeResetsLabelsAndHeaderOnly()
{
    const QStringList before = rows();
    dialog->setWindowTitle("changed");
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(dialog, &change);

    QCOMPARE(dialog->windowTitle(), QStringLiteral("OpenGL"));
    QCOMPARE(version->text(), QStringLiteral("Version"));
    QCOMPARE(vendor->text(), QStringLiteral("Vendor"));
    QCOMPARE(renderer->text(), QStringLiteral("Renderer"));
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Extensions"));
    QCOMPARE(rows(), before);
}

QTEST_MAIN(OglInfoTest)
#include "tst_oglinfo.moc"
