#include "oglinfo.h"
#include "ui_oglinfo.h"

oglinfo::oglinfo(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::oglinfo)
{
    ui->setupUi(this);
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

void oglinfo::fillOpenGlInfo()
{
}

void oglinfo::on_pbClose_clicked()
{
    close();
}
