#pragma once

#include <QItemSelectionModel>
#include <QTableView>
#include <functional>

// Refuses every selection change while the controller is busy, whatever asks for it.
class GuardedSelectionModel : public QItemSelectionModel {
    Q_OBJECT
public:
    GuardedSelectionModel(QAbstractItemModel* model, std::function<bool()> busy, QObject* parent = nullptr);
    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

private:
    std::function<bool()> m_busy;
};

// The device list: grid, full-row and multiple selection; mouse and keys do nothing while busy.
class DeviceListView : public QTableView {
    Q_OBJECT
public:
    explicit DeviceListView(QWidget* parent = nullptr);
    void SetBusyTest(std::function<bool()> busy) { m_busy = std::move(busy); }
    void SelectAllRows();
    // Makes every column as wide as its title and its widest expected text, the Name column taking
    // what is left: all of them fit, with room for a vertical scroll bar, so no horizontal one shows.
    void FitColumns();

signals:
    // Row under the pointer, -1 below the last row.
    void rowDoubleClicked(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool busy() const { return m_busy && m_busy(); }
    std::function<bool()> m_busy;
};
