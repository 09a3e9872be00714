// The controls of the main window at their template positions, in dialog units.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "window/DeviceListModel.h"
#include "window/DeviceListView.h"
#include "window/MainWindow.h"
#include "window/StatusDelegate.h"
#include "window/TemplateLabel.h"

QLabel* MainWindow::addLabel(const char* name, int x, int y, int w, int h) {
    auto* label = new TemplateLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(m_units.Rect(x, y, w, h));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MainWindow::addEdit(Field field, const char* name, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(m_units.Rect(x, y, w, h));
    m_fields[static_cast<std::size_t>(field)] = edit;
    return edit;
}

QPushButton* MainWindow::addButton(const char* name, int x, int y, int w, int h) {
    auto* button = new QPushButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(m_units.Rect(x, y, w, h));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void MainWindow::setupPathRow() {
    // The path row spans the top; "Camera lists:" stands right above the list it names.
    QLineEdit* path = addEdit(Field::FirmwarePath, "editPath", 6, 3, 342, 12);
    // A typed path is what the upgrade sends: the model and version boxes must describe it.
    connect(path, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_controller->OnFirmwarePathEdited(text.toStdString()); });
    addButton("buttonBrowse", 378, 3, 59, 12);
    addLabel("labelCameraLists", 6, 16, 100, 9);
}

void MainWindow::setupList() {
    m_model = new DeviceListModel(*m_controller, this);
    m_list = new DeviceListView(this);
    m_list->setObjectName(QStringLiteral("listDevices"));
    m_list->setGeometry(m_units.Rect(6, 26, 431, 157));
    m_list->setModel(m_model);
    auto* selection = new GuardedSelectionModel(
        m_model, [this] { return m_controller->IsBusy(); }, m_list);
    m_list->setSelectionModel(selection);
    m_list->SetBusyTest([this] { return m_controller->IsBusy(); });
    m_list->setItemDelegateForColumn(StatusColumn, new StatusDelegate(m_list));
    connect(m_list->horizontalHeader(), &QHeaderView::sectionClicked, this, &MainWindow::onHeaderClicked);
    // Rows that arrive after a sort stand at the end, out of its order: the arrow no longer holds.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        m_sortColumn = -1;
        showSortArrow();
    });
    connect(m_list, &DeviceListView::rowDoubleClicked, this, [this](int row) { m_controller->OnListDblClk(row); });

    // The one line under the list where the tool says what it waits for or cannot do.
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("labelNote"));
    m_note->setGeometry(m_units.Rect(6, 183, 431, 6));
    QFont small = font();
    small.setPointSizeF(font().pointSizeF() * 0.75);
    m_note->setFont(small);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void MainWindow::setupFieldRows() {
    // Labels are as wide as their longest caption in either language needs.
    addLabel("labelNetworkCard", 6, 190, 50, 8);
    m_adapters = new QComboBox(this);
    m_adapters->setObjectName(QStringLiteral("comboAdapters"));
    // The template's 30 units are the height of the opened list; the closed box is one line high.
    m_adapters->setGeometry(m_units.Rect(57, 189, 216, 12));
    connect(m_adapters, &QComboBox::activated, this, [this](int row) { m_controller->OnAdapterSelChange(row); });
    addLabel("labelModel", 6, 208, 45, 8);
    QLineEdit* model = addEdit(Field::Model, "editModel", 57, 205, 76, 14);
    addLabel("labelVersion", 137, 208, 60, 8);
    QLineEdit* version = addEdit(Field::FwVersion, "editVersion", 199, 205, 74, 14);
    for (QLineEdit* e : {model, version}) {
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignCenter);
    }
    addLabel("labelUser", 283, 207, 25, 8);
    addEdit(Field::User, "editUser", 309, 204, 37, 14);
    addLabel("labelPassword", 347, 207, 21, 8);
    addEdit(Field::Password, "editPassword", 369, 204, 35, 14)->setEchoMode(QLineEdit::Password);
    addLabel("labelDescription", 7, 221, 272, 40);
    addLabel("labelIp", 287, 227, 13, 8);
    addEdit(Field::RangeStart, "editRangeStart", 307, 225, 24, 14)->setAlignment(Qt::AlignCenter);
    addLabel("labelTilde", 338, 229, 8, 8);
    addEdit(Field::RangeEnd, "editRangeEnd", 350, 225, 24, 14)->setAlignment(Qt::AlignCenter);
}

void MainWindow::setupButtons() {
    addButton("buttonAutoChangeIp", 376, 225, 61, 15);
    addButton("buttonSearch", 389, 245, 48, 15);
    addButton("buttonResetDefault", 311, 246, 74, 14);
    addButton("buttonCheckVersion", 227, 263, 74, 14);
    addButton("buttonUpgrade", 311, 262, 75, 15);
    addButton("buttonExit", 390, 263, 47, 14);
}

void MainWindow::keepTemplatePlaces() {
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow())
            m_templatePlaces.emplace_back(w, w->geometry());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The list takes what the window gains; the rows under it keep to the bottom edge, the path
    // row and the controls from the login on to the right one. At the first size nothing moves.
    const int dw = std::max(0, width() - m_templateSize.width());
    const int dh = std::max(0, height() - m_templateSize.height());
    const int list = m_units.Y(26), below = m_units.Y(183), right = m_units.X(220);
    for (const auto& [w, place] : m_templatePlaces) {
        QRect r = place;
        if (w == m_list) {
            r.setSize(r.size() + QSize(dw, dh));
        } else if (w == m_note) {
            r.translate(0, dh);
            r.setWidth(r.width() + dw);
        } else if (place.y() < list) {
            if (w->objectName() == QStringLiteral("editPath"))
                r.setWidth(r.width() + dw);
            else if (place.x() >= right)
                r.translate(dw, 0);
        } else if (place.y() >= below) {
            r.translate(place.x() >= right ? dw : 0, dh);
        }
        w->setGeometry(r);
    }
    showNoteLine(); // elided to the line's new width
}
