#include "app/qt/StatusDelegate.h"

#include <QPainter>
#include <algorithm>

#include "app/qt/DeviceListModel.h"
#include "discovery/ListModel.h"

void StatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.column() == StatusColumn) {
        const QVariant share = index.data(DeviceListModel::ProgressRole);
        if (share.isValid()) {
            QRect bar = option.rect.adjusted(1, 2, -1, -2);
            bar.setWidth(static_cast<int>(bar.width() * std::clamp(share.toDouble(), 0.0, 1.0)));
            painter->fillRect(bar, QColor(120, 200, 120, 140));
        }
    }
    QStyledItemDelegate::paint(painter, option, index);
}
