#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "app/FleetView.h"
#include "discovery/ListModel.h"

class CTarnDlg;

// The controller's device rows as a Qt table; writers on any thread only post a refresh.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The share (0..1) of a running Status, as a double; invalid when the Status counts nothing.
    static constexpr int ProgressRole = Qt::UserRole + 1;
    // Beyond the list's five: what the camera's last query in this run said of itself.
    static constexpr int ModelColumn = kColumnCount;
    static constexpr int VersionColumn = kColumnCount + 1;
    static constexpr int ColumnCount = kColumnCount + 2;

    DeviceListModel(CTarnDlg& controller, QObject* parent = nullptr);
    ~DeviceListModel() override;

    // The column titles again, in the language of the translator now installed.
    void Retranslate();
    // The model of the image the last upgrade compared the cameras with, for the tool tip of a
    // "Model mismatch" row.
    void SetImageModel(const QString& model) { m_imageModel = model; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public slots:
    // Takes the controller's rows into the snapshot the view reads now; GUI thread only.
    void Sync();

private:
    struct Relay;
    // A row as the view paints it, with the Model and Version its camera last gave.
    struct Shown {
        ListRow row;
        std::optional<CameraFacts> facts;
    };

    // A writer asked for a repaint: at most one a frame, however many cameras changed meanwhile.
    void due();
    Shown shown(ListRow row) const;
    // Adds the cells of a row that differ from what the view painted.
    void changed(int row, const Shown& before, const Shown& after, std::vector<QModelIndex>& cells);
    QVariant statusToolTip(const ListRow& row) const;

    CTarnDlg& m_controller;
    QString m_imageModel;
    std::vector<Shown> m_rows;
    std::shared_ptr<Relay> m_relay;
    QElapsedTimer m_sinceSync;
    QTimer m_frame;
};
