#include "oclinfo.h"
#include "ui_oclinfo.h"

#include "inventoryreport.h"
#include "infotree.h"

#include <QColor>
#include <QLabel>
#include <QTreeWidgetItem>

#include <cstring>

oclInfo::oclInfo(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::oclInfo)
{
    ui->setupUi(this);
    resize(768, 512);
    ui->twInfo->setColumnWidth(0, 340);
    prepareInfoTree(ui->twInfo);
    std::memset(&inventory, 0, sizeof inventory);
    const cl_int status = scanOpenClInventory(inventory);
    if (status == CL_SUCCESS)
        buildTree();
    else
        showNoPlatform(status);
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

// Platforms stand expanded on a grey background; their devices stay
// collapsed, with their properties in the "Devices" column.
void oclInfo::buildTree()
{
    QTreeWidgetItem *platform = nullptr;
    QTreeWidgetItem *device = nullptr;
    for (const InventoryRow &row : inventoryRows(inventory)) {
        QTreeWidgetItem *item = nullptr;
        switch (row.kind) {
        case InventoryRow::Platform:
            item = platform = new QTreeWidgetItem(ui->twInfo, 0);
            break;
        case InventoryRow::PlatformProperty:
            item = new QTreeWidgetItem(platform, 0);
            break;
        case InventoryRow::Device:
            item = device = new QTreeWidgetItem(platform, 0);
            break;
        case InventoryRow::DeviceProperty:
            item = new QTreeWidgetItem(device, 0);
            break;
        }
        item->setText(row.column, row.text);
        if (row.kind == InventoryRow::Platform) {
            item->setData(0, Qt::BackgroundRole, QColor(219, 222, 223, 255));
            item->setExpanded(true);
        }
    }
}

// An empty tree would look like a broken dialog: the tree's place says why
// it is empty and where OpenCL drivers come from.
void oclInfo::showNoPlatform(cl_int status)
{
    QLabel *label = new QLabel(scanFailureText(status), this);
    label->setObjectName(QStringLiteral("lblNoPlatform"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #fefefe;"));
    delete ui->gridLayout->replaceWidget(ui->twInfo, label);
    ui->twInfo->hide();
}
