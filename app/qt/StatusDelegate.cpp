#include "app/qt/StatusDelegate.h"

#include <QPainter>
#include <QRegularExpression>

#include "discovery/ListModel.h"

namespace {
constexpr double kRebootSeconds = 60.0; // both countdowns start at 60
}

std::optional<double> StatusProgress(const QString& text) {
    static const QRegularExpression upgrade(QStringLiteral("^Upgrade Status\\.\\.\\. (\\d+)%$"));
    static const QRegularExpression countdown(
        QStringLiteral("^(?:Wait for|System rebooting, please wait for) (\\d+) Seconds$"));
    if (auto m = upgrade.match(text); m.hasMatch())
        return std::clamp(m.captured(1).toDouble() / 100.0, 0.0, 1.0);
    if (auto m = countdown.match(text); m.hasMatch())
        return std::clamp((kRebootSeconds - m.captured(1).toDouble()) / kRebootSeconds, 0.0, 1.0);
    return std::nullopt;
}

void StatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.column() == StatusColumn) {
        if (auto share = StatusProgress(index.data().toString())) {
            QRect bar = option.rect.adjusted(1, 2, -1, -2);
            bar.setWidth(static_cast<int>(bar.width() * *share));
            painter->fillRect(bar, QColor(120, 200, 120, 140));
        }
    }
    QStyledItemDelegate::paint(painter, option, index);
}
