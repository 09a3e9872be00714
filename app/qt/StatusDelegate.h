#pragma once

#include <QStyledItemDelegate>
#include <optional>

// The share of a running step that a Status text tells, from 0 to 1; nothing for other texts.
std::optional<double> StatusProgress(const QString& text);

// Paints a progress bar behind the Status text of a running upgrade or reboot countdown.
class StatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
