#include "window/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <set>

#include "i18n/Translations.h"
#include "window/DeviceListModel.h"
#include "window/DeviceListView.h"
#include "window/WindowTexts.h"

namespace {

MainWindowHooks withDefaults(MainWindowHooks hooks) {
    if (!hooks.openUrl)
        hooks.openUrl = [](const std::string& url) {
            return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
        };
    if (!hooks.chooseFile)
        hooks.chooseFile = [](QWidget* parent, const QString& folder) -> std::optional<std::string> {
            const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Search Firmware"), folder);
            if (path.isEmpty())
                return std::nullopt;
            return path.toStdString();
        };
    if (!hooks.runDialog)
        hooks.runDialog = [](QDialog& dialog) { return dialog.exec(); };
    if (!hooks.confirmClose)
        hooks.confirmClose = [](QWidget* parent, const std::string& question) {
            return QMessageBox::question(parent, parent->windowTitle(), QString::fromStdString(question),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        };
    if (!hooks.reportAway)
        hooks.reportAway = [](QWidget* parent, const std::string& text) {
            QMessageBox::information(parent, parent->windowTitle(), QString::fromStdString(text));
        };
    if (!hooks.openFolder)
        hooks.openFolder = [](const std::string& folder) {
            return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
        };
    return hooks;
}

template <typename T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

MainWindow::MainWindow(Clock& clock, MainWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_hooks(withDefaults(std::move(hooks))), m_controller(std::make_unique<CTarnDlg>(*this, clock, m_hooks.platform)),
      m_units(TemplateFont(QStringLiteral("Calibri"), 12)), m_lastFolder(QDir::homePath()) {
    setObjectName(QStringLiteral("mainWindow"));
    setFont(TemplateFont(QStringLiteral("Calibri"), 12));
    m_templateSize = QSize(m_units.X(444), m_units.Y(282));
    setMinimumSize(m_templateSize);
    resize(m_templateSize);
    setupPathRow();
    setupList();
    setupFieldRows();
    setupButtons();
    setupMoreMenu();
    connectButtons();
    keepTemplatePlaces();
    ApplyLanguage(437);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    // Every worker is joined before the list view and its model go.
    m_controller->OnCancel();
    delete m_list;
    delete m_model;
    m_controller.reset();
}

void MainWindow::connectButtons() {
    CTarnDlg* c = m_controller.get();
    connect(child<QPushButton>(this, "buttonBrowse"), &QPushButton::clicked, this, &MainWindow::BrowseFile);
    // A new search is a fresh start: the last refusal or error no longer stands under the list.
    connect(child<QPushButton>(this, "buttonSearch"), &QPushButton::clicked, this, [this, c] {
        m_noteText.clear();
        showNoteLine();
        c->OnSearch();
    });
    connect(child<QPushButton>(this, "buttonAutoChangeIp"), &QPushButton::clicked, this, &MainWindow::AutoChangeIp);
    connect(child<QPushButton>(this, "buttonResetDefault"), &QPushButton::clicked, this, &MainWindow::ResetDefault);
    // The original's check asks every listed camera, whatever is selected.
    connect(child<QPushButton>(this, "buttonCheckVersion"), &QPushButton::clicked, this,
            [this, c] { c->OnCheckVersion(Inputs(true)); });
    connect(child<QPushButton>(this, "buttonUpgrade"), &QPushButton::clicked, this,
            [this, c] { c->OnStartUpgrade(Inputs()); });
    connect(child<QPushButton>(this, "buttonExit"), &QPushButton::clicked, this, &QWidget::close);
    // The controller's enabling order; the presets stand for list box 1062.
    const char* order[] = {"comboAdapters", "editPath",           "buttonBrowse",       "editModel",
                           "editVersion",   "editUser",           "editPassword",       "editRangeStart",
                           "editRangeEnd",  "buttonAutoChangeIp", "buttonResetDefault", "buttonCheckVersion",
                           "buttonUpgrade", "buttonSearch"};
    for (const char* name : order)
        m_operationControls.push_back(child<QWidget>(this, name));
}

void MainWindow::onGuiThread(std::function<void()> f) {
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

std::string MainWindow::FieldText(Field field) const {
    Q_ASSERT(QThread::currentThread() == thread());
    return m_fields[static_cast<std::size_t>(field)]->text().toStdString();
}

void MainWindow::SetFieldText(Field field, const std::string& text) {
    const auto slot = static_cast<std::size_t>(field);
    onGuiThread([this, slot, text] { m_fields[slot]->setText(QString::fromStdString(text)); });
}

std::vector<int> MainWindow::SelectedRows() const {
    Q_ASSERT(QThread::currentThread() == thread());
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

JobInputs MainWindow::Inputs(bool everyListed) const {
    Q_ASSERT(QThread::currentThread() == thread());
    JobInputs inputs;
    const ListModel& list = m_controller->Discovery().List();
    inputs.selected = everyListed ? ListedMacs(list) : MacsAtRows(list, SelectedRows());
    inputs.login = {FieldText(Field::User), FieldText(Field::Password)};
    inputs.firmwarePath = FieldText(Field::FirmwarePath);
    inputs.rangeStart = FieldText(Field::RangeStart);
    inputs.rangeEnd = FieldText(Field::RangeEnd);
    return inputs;
}

void MainWindow::ShowLogin(const Login& login) {
    SetFieldText(Field::User, login.user);
    SetFieldText(Field::Password, login.password);
}

void MainWindow::ShowRange(const std::string& start, const std::string& end) {
    SetFieldText(Field::RangeStart, start);
    SetFieldText(Field::RangeEnd, end);
}

void MainWindow::ShowFirmwarePath(const std::string& path) {
    SetFieldText(Field::FirmwarePath, path);
}

void MainWindow::ShowImageFacts(const std::string& model, const std::string& version) {
    SetFieldText(Field::Model, model);
    SetFieldText(Field::FwVersion, version);
}

void MainWindow::DeselectAll() {
    // The window keeps the operator's selection when a job ends, so that one failed camera can be
    // tried again at once. Rows do not move while a job runs; a search empties the list, and the
    // selection with it; a sort keeps it on the same cameras.
}

void MainWindow::ControlsEnabled(bool enabled) {
    onGuiThread([this, enabled] {
        for (QWidget* w : m_operationControls)
            w->setEnabled(enabled);
        for (QAction* a : m_presetActions)
            a->setEnabled(enabled);
        // The job that ends here compared its cameras with the image its upgrade read last.
        if (enabled)
            m_model->SetImageModel(m_fields[static_cast<std::size_t>(Field::Model)]->text());
    });
}

void MainWindow::MessageBox(const Text& text, const Text& caption) {
    MessageBox(QString::fromStdString(text.In(QtTranslate())), QString::fromStdString(caption.In(QtTranslate())));
}

void MainWindow::MessageBox(const QString& text, const QString& caption) {
    // Never modal: a worker's message must not stop the window's thread inside a handler.
    onGuiThread([this, text, caption] {
        auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("messageBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    });
}

void MainWindow::OpenUrl(const std::string& url) {
    // Only a camera's web page: plain http to a dotted IPv4 address and an optional port, nothing
    // that the desktop could take for a file, a command or another scheme.
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    Ipv4 host{};
    if (!parsed.isValid() || parsed.scheme() != QStringLiteral("http") ||
        !ParseIpv4(parsed.host().toStdString(), host) || !parsed.userInfo().isEmpty() ||
        !(parsed.path().isEmpty() || parsed.path() == QStringLiteral("/")) || parsed.hasQuery() || parsed.hasFragment())
        return;
    onGuiThread([this, url] {
        if (m_hooks.openUrl(url))
            return;
        m_noteText = caption::kNoBrowser.Tr().arg(QString::fromStdString(url));
        showNoteLine();
    });
}

void MainWindow::SetAdapterList(const std::vector<std::string>& descriptions, int selected) {
    onGuiThread([this, descriptions, selected] {
        const QSignalBlocker block(m_adapters);
        m_adapters->clear();
        for (const std::string& d : descriptions)
            m_adapters->addItem(QString::fromStdString(d));
        m_adapters->setCurrentIndex(selected);
    });
}

void MainWindow::ApplyLanguage(unsigned codePage) {
    UseLanguage(codePage);
    const WindowTexts t = TranslatedTexts();
    setWindowTitle(t.caption);
    const std::pair<const char*, const QString*> texts[] = {{"labelCameraLists", &t.cameraLists},
                                                            {"labelNetworkCard", &t.networkCard},
                                                            {"labelModel", &t.deviceModel},
                                                            {"labelVersion", &t.firmwareVersion},
                                                            {"labelUser", &t.user},
                                                            {"labelPassword", &t.password},
                                                            {"labelDescription", &t.description},
                                                            {"labelIp", &t.ip},
                                                            {"labelTilde", &t.tilde}};
    for (const auto& [name, text] : texts)
        child<QLabel>(this, name)->setText(*text);
    const std::pair<const char*, const QString*> captions[] = {{"buttonBrowse", &t.browse},
                                                               {"buttonAutoChangeIp", &t.autoChangeIp},
                                                               {"buttonSearch", &t.search},
                                                               {"buttonResetDefault", &t.resetDefault},
                                                               {"buttonCheckVersion", &t.checkVersion},
                                                               {"buttonUpgrade", &t.upgrade},
                                                               {"buttonExit", &t.exit}};
    for (const auto& [name, text] : captions)
        child<QPushButton>(this, name)->setText(*text);
    for (const auto& [action, text] : m_captioned)
        action->setText(text->Tr());
    m_more->setToolTip(caption::kMoreToolTip.Tr());
    // The original never hands out the end of the range: the fields say so before anyone asks.
    for (const char* name : {"editRangeStart", "editRangeEnd", "labelTilde"})
        child<QWidget>(this, name)->setToolTip(caption::kRangeTip.Tr());
    m_model->Retranslate();
    m_list->FitColumns();
    showNoteLine();
}

void MainWindow::ShowNote(const Text& text, NoteKind) {
    ShowNote(QString::fromStdString(text.In(QtTranslate())));
}

void MainWindow::ShowNote(const QString& text) {
    onGuiThread([this, text] {
        m_noteText = text;
        showNoteLine();
    });
}

QString MainWindow::NoteLine() const {
    QStringList parts;
    if (m_guardLifted)
        parts << caption::kGuardLifted.Tr();
    if (const QString options = optionsLine(); !options.isEmpty())
        parts << options;
    if (!m_noteText.isEmpty())
        parts << m_noteText;
    return parts.join(caption::kNoteJoin.Tr());
}

void MainWindow::showNoteLine() {
    const QString full = NoteLine();
    m_note->setToolTip(full);
    m_note->setText(m_note->fontMetrics().elidedText(full, Qt::ElideRight, m_note->width()));
}

void MainWindow::BrowseFile() {
    const auto path = m_hooks.chooseFile(this, m_lastFolder);
    if (path)
        m_lastFolder = QFileInfo(QString::fromStdString(*path)).absolutePath();
    m_controller->OnBrowseFile(path);
}

void MainWindow::onHeaderClicked(int column) {
    // Only an idle list sorts; the header's own flip of its arrow is put right either way.
    const bool sorts = !m_controller->IsBusy() && m_controller->Discovery().Table() != nullptr;
    // The selection belongs to the cameras, not to the row numbers a sort gives them.
    std::set<Mac> selected;
    if (sorts)
        for (const Mac& mac : MacsAtRows(m_controller->Discovery().List(), SelectedRows()))
            selected.insert(mac);
    m_controller->OnListColumnClick(column);
    if (sorts) {
        m_model->Sync();
        QItemSelection again;
        for (int row = 0; row < m_model->rowCount(); ++row)
            if (auto d = m_controller->Discovery().CopyAt(row); d && selected.contains(d->mac))
                again.select(m_model->index(row, 0), m_model->index(row, kColumnCount - 1));
        m_list->selectionModel()->select(again, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Status, Model and Version have no order of their own: the rows keep the one they had.
    if (sorts && column < StatusColumn) {
        m_sortColumn = column;
        m_sortAscending = m_controller->Discovery().Sorting().ascending;
    }
    showSortArrow();
}

void MainWindow::showSortArrow() {
    QHeaderView* header = m_list->horizontalHeader();
    header->setSortIndicator(m_sortColumn, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closing != Closing::Done && closeDuringJob())
        return event->ignore();
    m_controller->OnCancel();
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Enter has no meaning here; Escape closes like Exit.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return event->accept();
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    m_moreMenu->popup(event->globalPos());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Control-A selects every row when the list or the window has the focus, and still reaches the
    // focused control; in a text field it selects the field's text only, never every camera.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll) &&
        !qobject_cast<QLineEdit*>(QApplication::focusWidget()))
        m_list->SelectAllRows();
    return QWidget::eventFilter(watched, event);
}
