#include "window/DeviceListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "app/StatusTexts.h"
#include "discovery/ListModel.h"
#include "window/Contrast.h"
#include "window/DeviceListModel.h"

namespace {
// Names vary most in width; it takes what the fixed-width columns leave.
constexpr int kFlexibleColumn = 1;
} // namespace

GuardedSelectionModel::GuardedSelectionModel(QAbstractItemModel* model, std::function<bool()> busy, QObject* parent)
    : QItemSelectionModel(model, parent), m_busy(std::move(busy)) {}

void GuardedSelectionModel::select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) {
    if (m_busy && m_busy())
        return;
    QItemSelectionModel::select(index, command);
}

void GuardedSelectionModel::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) {
    if (m_busy && m_busy())
        return;
    QItemSelectionModel::select(selection, command);
}

DeviceListView::DeviceListView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    // Fixed heights: thousands of rows arriving at once need no measuring.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // no order until a column is clicked
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    setPalette(SelectionPalette(palette()));
}

void DeviceListView::FitColumns() {
    // Status: the longest text a running camera shows, the reset's reboot countdown. Name takes the rest.
    const QString widest[DeviceListModel::ColumnCount] = {
        QStringLiteral("0000"),
        QString(),
        QStringLiteral("255.255.255.255"),
        QStringLiteral("00:00:00:00:00:00"),
        QString::fromStdString(Status::Of(CameraView{Phase::ResetRebooting, Status::kRebootSeconds})->text.English()),
        QStringLiteral("IPC1234-ABCD"),
        QStringLiteral("V1.23")};
    if (!model())
        return;
    const int columns = std::min(model()->columnCount(), DeviceListModel::ColumnCount);
    const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    const int room = width() - 2 * frameWidth() - style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    QHeaderView* header = horizontalHeader();
    auto widthOf = [&](int c) {
        // The title's hint holds its margins and the sort arrow.
        return std::max(fontMetrics().horizontalAdvance(widest[c]) + padding, header->sectionSizeHint(c));
    };
    int others = 0, extra = 0;
    for (int c = 0; c < columns; ++c) {
        if (c == kFlexibleColumn)
            continue;
        (c < kColumnCount ? others : extra) += widthOf(c);
    }
    // Model and Version show where Name keeps room for a long camera name beside them: at the
    // window's first size the list stands as the original's did, with its five columns.
    const int name = std::max(fontMetrics().horizontalAdvance(QStringLiteral("IPC-Warehouse-Gate-40")) + padding,
                              header->sectionSizeHint(kFlexibleColumn));
    const bool roomy = room - others - extra >= name;
    for (int c = 0; c < columns; ++c) {
        if (c >= kColumnCount)
            setColumnHidden(c, !roomy);
        if (c != kFlexibleColumn && (c < kColumnCount || roomy))
            setColumnWidth(c, widthOf(c));
    }
    const int used = others + (roomy ? extra : 0);
    setColumnWidth(kFlexibleColumn, std::max(room - used, header->sectionSizeHint(kFlexibleColumn)));
}

void DeviceListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    FitColumns();
}

void DeviceListView::SelectAllRows() {
    if (!model() || model()->rowCount() == 0 || busy())
        return;
    const QModelIndex first = model()->index(0, 0);
    const QModelIndex last = model()->index(model()->rowCount() - 1, model()->columnCount() - 1);
    selectionModel()->select(QItemSelection(first, last), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
}

void DeviceListView::mousePressEvent(QMouseEvent* event) {
    if (busy())
        return event->accept();
    QTableView::mousePressEvent(event);
}

void DeviceListView::mouseMoveEvent(QMouseEvent* event) {
    if (busy())
        return event->accept();
    QTableView::mouseMoveEvent(event);
}

void DeviceListView::mouseReleaseEvent(QMouseEvent* event) {
    if (busy())
        return event->accept();
    QTableView::mouseReleaseEvent(event);
}

void DeviceListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Opening a camera's page works in every state, so it bypasses the view's own handling.
    if (event->button() != Qt::LeftButton)
        return QTableView::mouseDoubleClickEvent(event);
    event->accept();
    emit rowDoubleClicked(indexAt(event->position().toPoint()).row());
}

void DeviceListView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAllRows();
        return event->accept();
    }
    const bool focusKey =
        event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Escape;
    if (busy() && !focusKey)
        return event->accept();
    QTableView::keyPressEvent(event);
}
