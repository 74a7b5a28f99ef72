#include "oclinfo.h"
#include "ui_oclinfo.h"

#include <cstring>

oclInfo::oclInfo(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::oclInfo)
{
    ui->setupUi(this);
    resize(768, 512);
    ui->twInfo->setColumnWidth(0, 340);
    std::memset(&inventory, 0, sizeof inventory);
    scanOpenClInventory(inventory);
}

oclInfo::~oclInfo()
{
    delete ui;
    releaseOpenClInventory(inventory);
}

void oclInfo::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

void oclInfo::on_pbClose_clicked()
{
    close();
}
