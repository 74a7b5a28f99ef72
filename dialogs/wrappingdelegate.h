#ifndef WRAPPINGDELEGATE_H
#define WRAPPINGDELEGATE_H

#include <QStyledItemDelegate>

class QTreeView;

// Shows each cell's text whole: lines wider than the cell wrap at a blank or
// after an underscore, inside a word only when nothing else fits, and the row grows
// to hold every line. Rows are laid out again whenever a column changes
// width. The information dialogs' values are long driver strings and
// blank-free extension names that would otherwise be cut off.
class WrappingItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit WrappingItemDelegate(QTreeView *view);

    // The lines text takes in a cell width pixels wide.
    static QStringList lines(const QString &text, const QFont &font, qreal width);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int textMargin(const QStyleOptionViewItem &option) const;
    int cellWidth(const QModelIndex &index) const;

    QTreeView *view;
};

#endif
