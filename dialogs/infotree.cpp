#include "infotree.h"

#include "wrappingdelegate.h"

#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

void prepareInfoTree(QTreeWidget *tree)
{
    tree->setItemDelegate(new WrappingItemDelegate(tree));
    // The scroll bars were polished while only the dialog's own sheet was
    // in force; polished again, they take the tree's scroll-bar rules.
    for (QScrollBar *bar : { tree->verticalScrollBar(), tree->horizontalScrollBar() }) {
        bar->style()->unpolish(bar);
        bar->style()->polish(bar);
    }
}
