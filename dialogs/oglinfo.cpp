#include "oglinfo.h"
#include "ui_oglinfo.h"

#include "display.h"
#include "glreport.h"
#include "infotree.h"

#include <QTreeWidgetItem>

oglinfo::oglinfo(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::oglinfo)
{
    ui->setupUi(this);
    prepareInfoTree(ui->twInfo);
    fillOpenGlInfo();
    resize(256, 512);
}

oglinfo::~oglinfo()
{
    delete ui;
}

void oglinfo::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

// Asks the driver once; a string it does not give reads "unavailable".
// Without a context there is nothing to ask, and the dialog says so alone.
void oglinfo::fillOpenGlInfo()
{
    const GlStrings strings = queryGlStrings();
    if (!strings.haveContext) {
        ui->lblVersion->setText(GlFormat::labelText(QStringLiteral("OpenGL"), QLatin1String(noGlContextText())));
        ui->lblVendor->hide();
        ui->lblRenderer->hide();
        ui->twInfo->hide();
        return;
    }
    const QStringList extensions = GlFormat::extensionList(strings.extensions);

    ui->lblVersion->setText(GlFormat::labelText(QStringLiteral("Version"), GlFormat::shown(strings.version)));
    ui->lblVendor->setText(GlFormat::labelText(QStringLiteral("Vendor"), GlFormat::shown(strings.vendor)));
    ui->lblRenderer->setText(GlFormat::labelText(QStringLiteral("Renderer"), GlFormat::shown(strings.renderer)));

    for (const QString &extension : extensions)
        new QTreeWidgetItem(ui->twInfo, QStringList(extension), 0);
    if (strings.extensions.isNull())
        new QTreeWidgetItem(ui->twInfo, QStringList(GlFormat::unavailable()), 0);
    ui->twInfo->setHeaderLabels(QStringList(GlFormat::extensionsHeader(extensions.size())));
}

void oglinfo::on_pbClose_clicked()
{
    close();
}
