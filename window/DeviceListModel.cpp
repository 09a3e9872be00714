#include "window/DeviceListModel.h"

#include <QBrush>
#include <QColor>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>

#include "app/Language.h"
#include "app/TarnDlg.h"
#include "discovery/ChangeRelay.h"
#include "discovery/WireProtocol.h"
#include "i18n/Translations.h"
#include "window/WindowTexts.h"

// Shared with the listener so that a writer never posts to a model that is gone.
struct DeviceListModel::Relay {
    std::mutex lock;
    DeviceListModel* target = nullptr;
    ChangeRelay changes;
};

DeviceListModel::DeviceListModel(CTarnDlg& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller), m_relay(std::make_shared<Relay>()) {
    m_relay->target = this;
    std::weak_ptr<Relay> weak = m_relay;
    m_controller.List().SetListener([weak](ListModel::Change, int) {
        if (auto relay = weak.lock()) {
            std::lock_guard guard(relay->lock);
            if (relay->target && relay->changes.Changed())
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

void DeviceListModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void DeviceListModel::Sync() {
    // Only what was written since the last repaint: a job on a few rows of thousands copies few.
    // A writer holding the rows just now is not waited for: the next turn of the loop tries again.
    std::optional<ListChanges> taken = m_relay->changes.Take(m_controller.List());
    if (!taken) {
        QTimer::singleShot(1, this, &DeviceListModel::Sync);
        return;
    }
    ListChanges changes = std::move(*taken);
    const int before = static_cast<int>(m_rows.size());
    if (changes.reset || changes.rowCount < before) {
        std::vector<ListRow> rows;
        if (changes.reset) {
            for (auto& [row, texts] : changes.rows)
                rows.push_back(std::move(texts));
        } else {
            rows = m_controller.List().Rows();
        }
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    const int after = changes.rowCount;
    std::vector<ListRow> appended(static_cast<std::size_t>(after - before));
    int first = after, last = -1;
    for (auto& [row, texts] : changes.rows) {
        if (row < before) {
            m_rows[static_cast<std::size_t>(row)] = std::move(texts);
            first = std::min(first, row);
            last = std::max(last, row);
        } else if (row < after) {
            appended[static_cast<std::size_t>(row - before)] = std::move(texts);
        }
    }
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        std::move(appended.begin(), appended.end(), std::back_inserter(m_rows));
        endInsertRows();
    }
    if (last >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (index.column() >= kColumnCount) {
        if (role != Qt::DisplayRole)
            return {};
        const auto facts = m_controller.Fleet().Facts(m_rows[row].mac);
        if (!facts)
            return QString();
        return QString::fromStdString(index.column() == ModelColumn ? facts->model : facts->version);
    }
    if (role == Qt::DisplayRole)
        return QString::fromStdString(m_rows[row][static_cast<std::size_t>(index.column())]);
    if (role == Qt::ForegroundRole && index.column() == StatusColumn && m_rows[row].failed)
        return QBrush(QColor(255, 0, 0));
    if (role == ProgressRole && index.column() == StatusColumn && m_rows[row].progress)
        return *m_rows[row].progress;
    if (role == Qt::ToolTipRole && index.column() == StatusColumn)
        return statusToolTip(m_rows[row]);
    return {};
}

QVariant DeviceListModel::statusToolTip(const ListRow& row) const {
    // Which two models differ: the camera's, as its query named it, and the image's.
    const std::optional<CameraOutcome> outcome = m_controller.Fleet().Outcome(row.mac);
    if (!outcome)
        return {};
    // Its result holds, but the camera is not where it belongs: the row says where it is.
    if (outcome->leftAt)
        return caption::kStillAwayTip.Tr().arg(QString::fromStdString(*outcome->leftAt));
    if (!row.failed || outcome->kind != OutcomeKind::ModelMismatch)
        return {};
    return caption::kModelMismatchTip.Tr().arg(QString::fromStdString(outcome->model.value_or("")), m_imageModel);
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole && section >= kColumnCount)
        return (section == ModelColumn ? caption::kModelColumn : caption::kVersionColumn).Tr();
    if (role == Qt::DisplayRole)
        return QString::fromStdString(ColumnTitle(section).In(QtTranslate()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}
