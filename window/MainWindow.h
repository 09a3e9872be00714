#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TarnDlg.h"
#include "app/TarnWindow.h"
#include "window/DialogUnits.h"

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
struct Caption;

// The window's boxes.
enum class Field { User, Password, FirmwarePath, Model, FwVersion, RangeStart, RangeEnd };

// What the window asks of the desktop; tests replace each of them.
struct MainWindowHooks {
    ControllerPlatform platform;
    // default: the desktop's browser; false when none could be started
    std::function<bool(const std::string&)> openUrl;
    // default: the "Search Firmware" chooser, opened in the given folder
    std::function<std::optional<std::string>(QWidget*, const QString& folder)> chooseFile;
    std::function<int(QDialog&)> runDialog; // default: QDialog::exec
    // default: a "Save" chooser for CSV, offering the given path
    std::function<std::optional<std::string>(QWidget*, const QString& suggested)> chooseSaveFile;
    // default: the desktop's file manager; false when nothing could be started to open the folder
    std::function<bool(const std::string&)> openFolder;
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

    // The window's own boxes and selection, on its thread: a press hands them to the controller.
    std::string FieldText(Field field) const;
    void SetFieldText(Field field, const std::string& text);
    // Rows selected in the device list, in ascending order.
    std::vector<int> SelectedRows() const;
    // What a workflow button hands the controller: the selected cameras (every listed one for a
    // check), the login, the image path and the range.
    JobInputs Inputs(bool everyListed = false) const;
    void ShowLogin(const Login& login) override;
    void ShowRange(const std::string& start, const std::string& end) override;
    void ShowFirmwarePath(const std::string& path) override;
    void ShowImageFacts(const std::string& model, const std::string& version) override;
    void DeselectAll() override;
    void ControlsEnabled(bool enabled) override;
    void MessageBox(const Text& text, const Text& caption) override;
    void MessageBox(const QString& text, const QString& caption);
    void OpenUrl(const std::string& url) override;
    void SetAdapterList(const std::vector<std::string>& descriptions, int selected) override;
    void ApplyLanguage(unsigned codePage) override;
    void ShowNote(const Text& text, NoteKind kind) override;
    // A note of the window's own (an export, a folder that cannot be opened), in its language.
    void ShowNote(const QString& text);
    // The line under the list as it stands, in full (the label itself may be elided).
    QString NoteLine() const;

    void BrowseFile();
    // "Reset Default" and "Auto Change IP": they ask first, naming the cameras, since neither can be undone.
    void ResetDefault();
    void AutoChangeIp();
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
    void resizeEvent(QResizeEvent* event) override;

private:
    // Runs f on the window's thread: at once when already there, queued otherwise.
    void onGuiThread(std::function<void()> f);
    // Asks a yes-or-no question before a job that cannot be undone; the cameras are listed below it.
    bool confirm(const QString& title, const QString& question, const QStringList& cameras, const QString& after = {});
    // The selected rows the controller would take, as the question lists them.
    QStringList selectedCameras(bool factoryAddressOnly) const;
    void showNoteLine();
    // The fleet choices of the "⋯" menu that are on, ticked there and said in the note line.
    void showOptions();
    QString optionsLine() const;
    void onHeaderClicked(int column);
    void showSortArrow();
    QAction* addCaptioned(QMenu* menu, const char* name, const Caption& caption);
    QLabel* addLabel(const char* name, int x, int y, int w, int h);
    QLineEdit* addEdit(Field field, const char* name, int x, int y, int w, int h);
    QPushButton* addButton(const char* name, int x, int y, int w, int h);
    void setupPathRow();
    void setupList();
    void setupFieldRows();
    void setupButtons();
    void setupMoreMenu();
    void addJobOptions(); // the next jobs' options, for this session only
    // Asks for one of the session's job numbers (cameras at once, the first wave); 0 is the default.
    void askJobNumber(const Caption& title, const Caption& label, std::size_t JobOptions::*field);
    void connectButtons();
    // Remembers every control's place at the window's first size, the size a grown window lays out from.
    void keepTemplatePlaces();
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
    std::vector<std::pair<QAction*, const Caption*>> m_captioned; // menu entries, retitled with the language
    QString m_noteText;                                           // the last note, in full and in the window's language
    bool m_guardLifted = false; // "Allow other models" is on: the note line says so while it is
    QString m_lastFolder;       // where Browse and Export open: the home folder, then the last one used
    int m_sortColumn = -1;      // the column the rows stand sorted by, -1 when they are not
    bool m_sortAscending = true;
    QSize m_templateSize;                                     // the original's size, the smallest the window takes
    std::vector<std::pair<QWidget*, QRect>> m_templatePlaces; // each control at that size
};
