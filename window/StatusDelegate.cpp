#include "window/StatusDelegate.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "discovery/ListModel.h"
#include "window/Contrast.h"
#include "window/DeviceListModel.h"

void StatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.column() != StatusColumn)
        return QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    const QWidget* widget = cell.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Background first (the selection's colour too), then the bar, then the text over both: a
    // selected row still shows its progress and its red failure.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);
    const QVariant share = index.data(DeviceListModel::ProgressRole);
    if (share.isValid()) {
        QRect bar = cell.rect.adjusted(1, 2, -1, -2);
        bar.setWidth(static_cast<int>(bar.width() * std::clamp(share.toDouble(), 0.0, 1.0)));
        painter->fillRect(bar, QColor(120, 200, 120, 160));
    }
    QStyleOptionViewItem text(cell);
    const bool selected = (text.state & QStyle::State_Selected) != 0;
    const QVariant foreground = index.data(Qt::ForegroundRole);
    QColor colour = selected ? cell.palette.color(QPalette::HighlightedText) : cell.palette.color(QPalette::Text);
    if (foreground.canConvert<QBrush>()) {
        // The failed camera's red, selected or not; on the selection it is darkened or lightened
        // as far as it takes to stay readable there.
        colour = foreground.value<QBrush>().color();
        if (selected)
            colour = ReadableOn(colour, cell.palette.color(QPalette::Highlight));
    }
    text.palette.setColor(QPalette::Text, colour);
    text.palette.setColor(QPalette::HighlightedText, colour);
    // The background is drawn already; drawing the item again must not paint over the bar.
    text.state &= ~(QStyle::State_Selected | QStyle::State_MouseOver | QStyle::State_HasFocus);
    text.backgroundBrush = Qt::NoBrush;
    style->drawControl(QStyle::CE_ItemViewItem, &text, painter, widget);
}
