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

namespace {

// A screen shows one frame in this time: taking the rows in more often paints what nobody sees.
constexpr int kFrameMs = 16;
// More changed cells than a screen of rows shows are cheaper repainted at once.
constexpr std::size_t kCellsAlone = 64;

// Whether a cell shows the same in two states of its row, without writing out its text.
bool sameCell(const ListRow& a, const ListRow& b, int column) {
    switch (column) {
    case 0:
        return a.device.rowIndex == b.device.rowIndex;
    case 1:
        return a.device.name == b.device.name;
    case 2:
        return a.device.ip == b.device.ip;
    case 3:
        return a.device.mac == b.device.mac;
    default:
        return a.status == b.status;
    }
}

} // namespace

// Shared with the listener so that a writer never posts to a model that is gone.
struct DeviceListModel::Relay {
    std::mutex lock;
    DeviceListModel* target = nullptr;
    ChangeRelay changes;
};

DeviceListModel::DeviceListModel(CTarnDlg& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller), m_relay(std::make_shared<Relay>()) {
    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &DeviceListModel::Sync);
    m_relay->target = this;
    std::weak_ptr<Relay> weak = m_relay;
    m_controller.Discovery().List().SetListener([weak](ListModel::Change, int) {
        if (auto relay = weak.lock()) {
            std::lock_guard guard(relay->lock);
            if (relay->target && relay->changes.Changed())
                QMetaObject::invokeMethod(relay->target, &DeviceListModel::due, Qt::QueuedConnection);
        }
    });
    Sync();
}

DeviceListModel::~DeviceListModel() {
    m_controller.Discovery().List().SetListener(nullptr);
    std::lock_guard guard(m_relay->lock);
    m_relay->target = nullptr;
}

void DeviceListModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void DeviceListModel::due() {
    const qint64 since = m_sinceSync.isValid() ? m_sinceSync.elapsed() : kFrameMs;
    if (since >= kFrameMs)
        Sync();
    else if (!m_frame.isActive())
        m_frame.start(static_cast<int>(kFrameMs - since));
}

DeviceListModel::Shown DeviceListModel::shown(ListRow row) const {
    const Mac mac = row.mac();
    return {std::move(row), m_controller.Fleet().Facts(mac)};
}

void DeviceListModel::changed(int row, const Shown& before, const Shown& after, std::vector<QModelIndex>& cells) {
    for (int column = 0; column < kColumnCount; ++column)
        if (!sameCell(before.row, after.row, column) ||
            (column == StatusColumn &&
             (before.row.progress != after.row.progress || before.row.Failed() != after.row.Failed())))
            cells.push_back(index(row, column));
    const auto model = [](const Shown& s) { return s.facts ? s.facts->model : std::string(); };
    const auto version = [](const Shown& s) { return s.facts ? s.facts->version : std::string(); };
    if (model(before) != model(after))
        cells.push_back(index(row, ModelColumn));
    if (version(before) != version(after))
        cells.push_back(index(row, VersionColumn));
}

void DeviceListModel::Sync() {
    // Only what was written since the last repaint: a job on a few rows of thousands copies few.
    // A writer holding the rows just now is not waited for: the next turn of the loop tries again.
    std::optional<ListChanges> taken = m_relay->changes.Take(m_controller.Discovery().List());
    if (!taken) {
        QTimer::singleShot(1, this, &DeviceListModel::Sync);
        return;
    }
    m_frame.stop();
    m_sinceSync.start();
    ListChanges changes = std::move(*taken);
    const int before = static_cast<int>(m_rows.size());
    if (changes.reset || changes.rowCount < before) {
        std::vector<ListRow> rows;
        if (changes.reset) {
            for (auto& [row, texts] : changes.rows)
                rows.push_back(std::move(texts));
        } else {
            rows = m_controller.Discovery().List().Rows();
        }
        beginResetModel();
        m_rows.clear();
        for (ListRow& row : rows)
            m_rows.push_back(shown(std::move(row)));
        endResetModel();
        return;
    }
    const int after = changes.rowCount;
    std::vector<Shown> appended(static_cast<std::size_t>(after - before));
    std::vector<QModelIndex> cells;
    for (auto& [row, texts] : changes.rows) {
        if (row < before) {
            Shown now = shown(std::move(texts));
            std::swap(m_rows[static_cast<std::size_t>(row)], now);
            changed(row, now, m_rows[static_cast<std::size_t>(row)], cells);
        } else if (row < after) {
            appended[static_cast<std::size_t>(row - before)] = shown(std::move(texts));
        }
    }
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        std::move(appended.begin(), appended.end(), std::back_inserter(m_rows));
        endInsertRows();
    }
    // A few changed cells are repainted each alone, not every cell between them; a sort that
    // moved every row is one range, cheaper than thousands of cells told one by one.
    if (cells.size() > kCellsAlone)
        emit dataChanged(index(cells.front().row(), 0), index(cells.back().row(), ColumnCount - 1));
    else
        for (const QModelIndex& cell : cells)
            emit dataChanged(cell, cell);
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
    const Shown& shown = m_rows[static_cast<std::size_t>(index.row())];
    if (index.column() >= kColumnCount) {
        if (role != Qt::DisplayRole)
            return {};
        if (!shown.facts)
            return QString();
        return QString::fromStdString(index.column() == ModelColumn ? shown.facts->model : shown.facts->version);
    }
    const ListRow& row = shown.row;
    if (role == Qt::DisplayRole)
        return QString::fromStdString(CellText(row, index.column()));
    if (role == Qt::ForegroundRole && index.column() == StatusColumn && row.Failed())
        return QBrush(QColor(255, 0, 0));
    if (role == ProgressRole && index.column() == StatusColumn && row.progress)
        return *row.progress;
    if (role == Qt::ToolTipRole && index.column() == StatusColumn)
        return statusToolTip(row);
    return {};
}

QVariant DeviceListModel::statusToolTip(const ListRow& row) const {
    // Which two models differ: the camera's, as its query named it, and the image's.
    const std::optional<CameraOutcome> outcome = m_controller.Fleet().Outcome(row.mac());
    if (!outcome)
        return {};
    // Its result holds, but the camera is not where it belongs: the row says where it is.
    if (outcome->leftAt)
        return caption::kStillAwayTip.Tr().arg(QString::fromStdString(*outcome->leftAt));
    if (!row.Failed() || outcome->kind != OutcomeKind::ModelMismatch)
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
