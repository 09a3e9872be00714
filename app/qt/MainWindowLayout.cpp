// The controls of the main window at their template positions, in dialog units.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/qt/DeviceListModel.h"
#include "app/qt/DeviceListView.h"
#include "app/qt/MainWindow.h"
#include "app/qt/StatusDelegate.h"
#include "app/qt/TemplateLabel.h"

namespace {
constexpr std::array<int, kColumnCount> kColumnWidths{50, 215, 150, 180, 292}; // pixels, not dialog units
}

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
    addLabel("labelCameraLists", 8, 12, 45, 10);
    QLineEdit* path = addEdit(Field::FirmwarePath, "editPath", 70, 5, 278, 12);
    // A typed path is what the upgrade sends: the model and version boxes must describe it.
    connect(path, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_controller->OnFirmwarePathEdited(text.toStdString()); });
    addButton("buttonBrowse", 378, 5, 59, 12);
}

void MainWindow::setupList() {
    m_model = new DeviceListModel(*m_controller, this);
    m_list = new DeviceListView(this);
    m_list->setObjectName(QStringLiteral("listDevices"));
    m_list->setGeometry(m_units.Rect(6, 23, 431, 160));
    m_list->setModel(m_model);
    auto* selection = new GuardedSelectionModel(
        m_model, [this] { return m_controller->IsBusy(); }, m_list);
    m_list->setSelectionModel(selection);
    m_list->SetBusyTest([this] { return m_controller->IsBusy(); });
    m_list->setItemDelegateForColumn(StatusColumn, new StatusDelegate(m_list));
    for (int c = 0; c < kColumnCount; ++c)
        m_list->setColumnWidth(c, kColumnWidths[static_cast<std::size_t>(c)]);
    m_list->horizontalHeader()->setStretchLastSection(false);
    connect(m_list->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_controller->OnListColumnClick(column); });
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
    addLabel("labelNetworkCard", 6, 190, 43, 8);
    m_adapters = new QComboBox(this);
    m_adapters->setObjectName(QStringLiteral("comboAdapters"));
    // The template's 30 units are the height of the opened list; the closed box is one line high.
    m_adapters->setGeometry(m_units.Rect(57, 189, 216, 12));
    connect(m_adapters, &QComboBox::activated, this, [this](int row) { m_controller->OnAdapterSelChange(row); });
    addLabel("labelModel", 6, 208, 45, 8);
    QLineEdit* model = addEdit(Field::Model, "editModel", 57, 205, 92, 14);
    addLabel("labelVersion", 156, 208, 34, 8);
    QLineEdit* version = addEdit(Field::FwVersion, "editVersion", 197, 205, 76, 14);
    for (QLineEdit* e : {model, version}) {
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignCenter);
    }
    addLabel("labelUser", 285, 207, 23, 8);
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

void MainWindow::setupMoreMenu() {
    // The template's hidden controls live here, in the free gap between the path box and "Browse File...".
    m_moreMenu = new QMenu(this);
    m_moreMenu->setObjectName(QStringLiteral("menuMore"));
    QAction* set = m_moreMenu->addAction(QStringLiteral("Set Login..."), this, &MainWindow::ShowCredentials);
    set->setObjectName(QStringLiteral("actionSetLogin"));
    QMenu* presets = m_moreMenu->addMenu(QStringLiteral("Account"));
    const char* accounts[] = {"root", "admin"};
    for (int row = 0; row < 2; ++row) {
        QAction* a = presets->addAction(QString::fromLatin1(accounts[row]), this,
                                        [this, row] { m_controller->OnAccountSelChange(row); });
        a->setObjectName(QStringLiteral("actionAccount_%1").arg(QString::fromLatin1(accounts[row])));
        m_presetActions.push_back(a);
    }
    QAction* dhcp = m_moreMenu->addAction(QStringLiteral("DHCP"));
    dhcp->setObjectName(QStringLiteral("actionDhcp"));
    dhcp->setCheckable(true); // governs only the detail panel, which the window does not show
    m_moreMenu->addSeparator();
    // Off at every start: flashing an image made for another model is a choice made for one job.
    QAction* otherModels = m_moreMenu->addAction(QStringLiteral("Allow other models"));
    otherModels->setObjectName(QStringLiteral("actionAllowOtherModels"));
    otherModels->setCheckable(true);
    connect(otherModels, &QAction::toggled, this, [this](bool on) { m_controller->SetAllowOtherModels(on); });
    QAction* exportList = m_moreMenu->addAction(QStringLiteral("Export list..."), this, &MainWindow::ExportList);
    exportList->setObjectName(QStringLiteral("actionExportList"));
    QAction* records = m_moreMenu->addAction(QStringLiteral("Job records"), this, &MainWindow::OpenJobRecords);
    records->setObjectName(QStringLiteral("actionJobRecords"));
    m_moreMenu->addSeparator();
    QAction* about = m_moreMenu->addAction(QStringLiteral("About Flashwell..."), this, &MainWindow::ShowAbout);
    about->setObjectName(QStringLiteral("actionAbout"));

    m_more = new QToolButton(this);
    m_more->setObjectName(QStringLiteral("buttonMore"));
    m_more->setText(QStringLiteral("⋯"));
    m_more->setToolTip(QStringLiteral("Login, account presets, model guard, export, job records, About"));
    m_more->setGeometry(m_units.Rect(352, 5, 22, 12));
    m_more->setMenu(m_moreMenu);
    m_more->setPopupMode(QToolButton::InstantPopup);
    m_more->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
}
