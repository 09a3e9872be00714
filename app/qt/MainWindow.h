#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TarnDlg.h"
#include "app/TarnWindow.h"
#include "app/qt/DialogUnits.h"

class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class DeviceListModel;
class DeviceListView;

// What the window asks of the desktop; tests replace each of them.
struct MainWindowHooks {
    ControllerPlatform platform;
    std::function<void(const std::string&)> openUrl;                    // default: the desktop's browser
    std::function<std::optional<std::string>(QWidget*)> chooseFile;     // default: the "Search Firmware" chooser
    std::function<int(QDialog&)> runDialog;                             // default: QDialog::exec
    std::function<std::optional<std::string>(QWidget*)> chooseSaveFile; // default: a "Save" chooser for CSV
    std::function<void(const std::string&)> openFolder;                 // default: the desktop's file manager
    // Closing during a job: whether to go on (default: a Yes/No question), and what is left away.
    std::function<bool(QWidget*, const std::string& question)> confirmClose;
    std::function<void(QWidget*, const std::string& text)> reportAway;
};

// The main window: a view over the controller, which it owns and closes before its widgets go.
class MainWindow : public QWidget, public TarnWindow {
    Q_OBJECT
public:
    MainWindow(Clock& clock, MainWindowHooks hooks = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    CTarnDlg& Controller() { return *m_controller; }
    const DialogUnits& Units() const { return m_units; }

    std::string FieldText(Field field) const override;
    void SetFieldText(Field field, const std::string& text) override;
    std::vector<int> SelectedRows() const override;
    void DeselectAll() override;
    void ControlsEnabled(bool enabled) override;
    void MessageBox(const std::string& text, const std::string& caption) override;
    void OpenUrl(const std::string& url) override;
    void SetAdapterList(const std::vector<std::string>& descriptions, int selected) override;
    void ApplyLanguage(unsigned codePage) override;
    void ShowNote(const std::string& text, NoteKind kind) override;
    // A note of the window's own (an export, a folder that cannot be opened).
    void ShowNote(const std::string& text) { ShowNote(text, NoteKind::Job); }

    void BrowseFile();
    void ShowCredentials();
    void ShowAbout();
    // "Export list...": the list as CSV, where the operator chooses.
    void ExportList();
    // "Job records": the folder of job records in the file manager.
    void OpenJobRecords();
    QMenu* MoreMenu() const { return m_moreMenu; }
    // A signal asked the window to close: nobody is there to answer a question.
    void CloseWithoutAsking();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs f on the window's thread: at once when already there, queued otherwise.
    void onGuiThread(std::function<void()> f);
    QLabel* addLabel(const char* name, int x, int y, int w, int h);
    QLineEdit* addEdit(Field field, const char* name, int x, int y, int w, int h);
    QPushButton* addButton(const char* name, int x, int y, int w, int h);
    void setupPathRow();
    void setupList();
    void setupFieldRows();
    void setupButtons();
    void setupMoreMenu();
    void connectButtons();
    // Closing while a job runs (CloseGuard.cpp): ask, stop the job on its own thread, say what
    // is left to the journal, then close.
    bool closeDuringJob();
    void finishClosing();

    MainWindowHooks m_hooks;
    std::unique_ptr<CTarnDlg> m_controller;
    DialogUnits m_units;
    DeviceListModel* m_model = nullptr;
    DeviceListView* m_list = nullptr;
    QComboBox* m_adapters = nullptr;
    std::array<QLineEdit*, 7> m_fields{};
    std::vector<QWidget*> m_operationControls; // in the controller's enabling order
    std::vector<QAction*> m_presetActions;
    QToolButton* m_more = nullptr;
    QLabel* m_note = nullptr;
    QMenu* m_moreMenu = nullptr;
    enum class Closing { No, Stopping, Done } m_closing = Closing::No;
    bool m_quietClose = false; // asked to close by a signal: no question, no message box
};
