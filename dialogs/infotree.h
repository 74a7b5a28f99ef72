#ifndef INFOTREE_H
#define INFOTREE_H

class QTreeWidget;

// What both information dialogs do to their tree once the form is built:
// rows that wrap long values, and scroll bars that follow the tree's sheet.
void prepareInfoTree(QTreeWidget *tree);

#endif
