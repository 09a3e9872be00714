#pragma once

#include <QStyledItemDelegate>

// Paints a progress bar behind the Status text of a running upgrade or reboot countdown, from the
// share that the row carries (DeviceListModel::ProgressRole).
class StatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
