#include "app/qt/DeviceListModel.h"

#include <QBrush>
#include <QColor>
#include <atomic>
#include <mutex>

#include "app/Language.h"
#include "app/TarnDlg.h"

// Shared with the listener so that a writer never posts to a model that is gone.
struct DeviceListModel::Relay {
    std::mutex lock;
    DeviceListModel* target = nullptr;
    std::atomic<bool> pending{false};
    std::atomic<bool> reset{false};
};

DeviceListModel::DeviceListModel(CTarnDlg& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller), m_relay(std::make_shared<Relay>()) {
    m_relay->target = this;
    std::weak_ptr<Relay> weak = m_relay;
    m_controller.List().SetListener([weak](ListModel::Change change, int) {
        if (auto relay = weak.lock()) {
            if (change == ListModel::Change::Reset)
                relay->reset = true;
            std::lock_guard guard(relay->lock);
            if (relay->target && !relay->pending.exchange(true))
                QMetaObject::invokeMethod(relay->target, &DeviceListModel::Sync, Qt::QueuedConnection);
        }
    });
    Sync();
}

DeviceListModel::~DeviceListModel() {
    m_controller.List().SetListener(nullptr);
    std::lock_guard guard(m_relay->lock);
    m_relay->target = nullptr;
}

void DeviceListModel::SetCodePage(unsigned codePage) {
    m_codePage = codePage;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void DeviceListModel::Sync() {
    m_relay->pending = false;
    const bool reset = m_relay->reset.exchange(false);
    // One snapshot: texts, progress and failed flags of every row, read under one lock.
    std::vector<ListRow> rows = m_controller.List().Rows();
    if (reset || rows.size() < m_rows.size()) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    const int before = static_cast<int>(m_rows.size());
    const int after = static_cast<int>(rows.size());
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        m_rows = std::move(rows);
        endInsertRows();
    } else {
        m_rows = std::move(rows);
    }
    if (before > 0)
        emit dataChanged(index(0, 0), index(before - 1, kColumnCount - 1));
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::DisplayRole)
        return QString::fromStdString(m_rows[row][static_cast<std::size_t>(index.column())]);
    if (role == Qt::ForegroundRole && index.column() == StatusColumn && m_rows[row].failed)
        return QBrush(QColor(255, 0, 0));
    if (role == ProgressRole && index.column() == StatusColumn && m_rows[row].progress)
        return *m_rows[row].progress;
    return {};
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(ColumnTitle(section, m_codePage));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}
