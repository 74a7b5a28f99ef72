#ifndef OCLINFO_H
#define OCLINFO_H

#include "clinventory.h"

#include <QDialog>

namespace Ui {
class oclInfo;
}

// "Platforms": every OpenCL platform and, under each, every device with
// its properties, as they were when the program started.
class oclInfo : public QDialog
{
    Q_OBJECT

public:
    explicit oclInfo(QWidget *parent);
    ~oclInfo() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_pbClose_clicked();

private:
    void buildTree();
    void showNoPlatform(cl_int status);

    Ui::oclInfo *ui;
    ClInventory inventory;
};

#endif
