#include "oclinfo.h"
#include "ui_oclinfo.h"

#include "inventoryreport.h"
#include "wrappingdelegate.h"

#include <QColor>
#include <QTreeWidgetItem>

#include <cstring>

oclInfo::oclInfo(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::oclInfo)
{
    ui->setupUi(this);
    resize(768, 512);
    ui->twInfo->setColumnWidth(0, 340);
    ui->twInfo->setItemDelegate(new WrappingItemDelegate(ui->twInfo));
    std::memset(&inventory, 0, sizeof inventory);
    if (scanOpenClInventory(inventory) == CL_SUCCESS && inventory.numPlatforms != 0)
        buildTree();
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
