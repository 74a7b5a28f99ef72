#include "wrappingdelegate.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>
#include <QTreeView>

#include <limits>

namespace {

// Lays text out in lines no wider than width and answers the size it takes.
QSizeF layOut(QTextLayout &layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    qreal widest = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = qMax(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return QSizeF(widest, height);
}

// Line breaks in the text end lines of the layout, and a name joined by
// underscores may break after one of them rather than inside a word.
QString layoutText(const QString &text)
{
    QString copy = text;
    return copy.replace(QLatin1Char('\n'), QChar::LineSeparator)
        .replace(QLatin1Char('_'), QStringLiteral("_\u200B"));
}

const qreal unbounded = qreal(std::numeric_limits<int>::max() / 4);

} // namespace

QStringList WrappingItemDelegate::lines(const QString &text, const QFont &font, qreal width)
{
    QTextLayout layout(layoutText(text), font);
    layOut(layout, width);
    QStringList result;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        result << layout.text().mid(line.textStart(), line.textLength()).remove(QChar(0x200B)).trimmed();
    }
    return result;
}

WrappingItemDelegate::WrappingItemDelegate(QTreeView *view)
    : QStyledItemDelegate(view)
    , view(view)
{
    connect(view->header(), &QHeaderView::sectionResized, view, &QTreeView::doItemsLayout, Qt::QueuedConnection);
}

int WrappingItemDelegate::textMargin(const QStyleOptionViewItem &option) const
{
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 1;
}

// The width of the cell the view gives the item: its column, less the
// indentation of the tree column.
int WrappingItemDelegate::cellWidth(const QModelIndex &index) const
{
    int width = view->columnWidth(index.column());
    if (view->header()->visualIndex(index.column()) == 0) {
        int depth = view->rootIsDecorated() ? 1 : 0;
        for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
            ++depth;
        width -= depth * view->indentation();
    }
    return width;
}

QSize WrappingItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    const qreal width = cellWidth(index) - 2 * textMargin(item);
    if (item.text.isEmpty() || width <= 0)
        return base;

    QTextLayout wrapped(layoutText(item.text), item.font);
    QTextLayout whole(layoutText(item.text), item.font);
    // What the style adds around the text stays; only the text grows.
    const int padding = base.height() - qCeil(layOut(whole, unbounded).height());
    const int height = qCeil(layOut(wrapped, width).height()) + qMax(padding, 0);
    return QSize(base.width(), qMax(base.height(), height));
}

void WrappingItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;

    // Background, selection and focus as the style draws them, without text.
    item.text.clear();
    const QStyle *style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    if (text.isEmpty())
        return;

    const int margin = textMargin(item);
    const QRect area = item.rect.adjusted(margin, 0, -margin, 0);
    QTextLayout layout(layoutText(text), item.font);
    const QSizeF size = layOut(layout, area.width());

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                              : QPalette::Inactive;
    const QPalette::ColorRole role = (item.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                            : QPalette::Text;
    painter->save();
    painter->setPen(item.palette.color(group, role));
    painter->setClipRect(item.rect);
    layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - size.height()) / 2));
    painter->restore();
}
