// The "⋯" menu: the template's hidden controls and the window's own additions, with their dialogs.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

#include "app/Csv.h"
#include "window/AboutDialog.h"
#include "window/CredentialsDialog.h"
#include "window/JournalDialog.h"
#include "window/MainWindow.h"
#include "window/WindowTexts.h"

QAction* MainWindow::addCaptioned(QMenu* menu, const char* name, const Caption& text) {
    QAction* action = menu->addAction(text.Tr());
    action->setObjectName(QString::fromLatin1(name));
    m_captioned.emplace_back(action, &text);
    return action;
}

void MainWindow::setupMoreMenu() {
    // The template's hidden controls live here, in the free gap between the path box and "Browse File...".
    // The "DHCP" box is not among them: it governed only the detail panel, which the window does not build.
    m_moreMenu = new QMenu(this);
    m_moreMenu->setObjectName(QStringLiteral("menuMore"));
    connect(addCaptioned(m_moreMenu, "actionSetLogin", caption::kSetLogin), &QAction::triggered, this,
            &MainWindow::ShowCredentials);
    QMenu* presets = m_moreMenu->addMenu(QString());
    presets->setObjectName(QStringLiteral("menuAccount"));
    m_captioned.emplace_back(presets->menuAction(), &caption::kAccount);
    const char* accounts[] = {"root", "admin"};
    for (int row = 0; row < 2; ++row) {
        QAction* a = presets->addAction(QString::fromLatin1(accounts[row]), this,
                                        [this, row] { m_controller->OnAccountSelChange(row); });
        a->setObjectName(QStringLiteral("actionAccount_%1").arg(QString::fromLatin1(accounts[row])));
        m_presetActions.push_back(a);
    }
    m_moreMenu->addSeparator();
    addJobOptions();
    m_moreMenu->addSeparator();
    connect(addCaptioned(m_moreMenu, "actionExportList", caption::kExportList), &QAction::triggered, this,
            &MainWindow::ExportList);
    connect(addCaptioned(m_moreMenu, "actionJobRecords", caption::kJobRecords), &QAction::triggered, this,
            &MainWindow::OpenJobRecords);
    QAction* away = addCaptioned(m_moreMenu, "actionAwayFromHome", caption::kAwayFromHome);
    connect(away, &QAction::triggered, this, [this] {
        JournalDialog dialog(*m_controller, this);
        m_hooks.runDialog(dialog);
    });
    // A running job writes the journal: nothing is forgotten under its feet.
    m_presetActions.push_back(away);
    m_moreMenu->addSeparator();
    connect(addCaptioned(m_moreMenu, "actionAbout", caption::kAbout), &QAction::triggered, this,
            &MainWindow::ShowAbout);

    m_more = new QToolButton(this);
    m_more->setObjectName(QStringLiteral("buttonMore"));
    m_more->setText(QStringLiteral("⋯"));
    m_more->setGeometry(m_units.Rect(352, 3, 22, 12));
    m_more->setMenu(m_moreMenu);
    m_more->setPopupMode(QToolButton::InstantPopup);
    m_more->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
}

void MainWindow::addJobOptions() {
    // Off at every start: flashing an image made for another model is a choice made for one job.
    QAction* otherModels = addCaptioned(m_moreMenu, "actionAllowOtherModels", caption::kAllowOtherModels);
    otherModels->setCheckable(true);
    connect(otherModels, &QAction::toggled, this, [this](bool on) {
        JobOptions options = m_controller->Jobs().Options();
        options.allowOtherModels = on;
        m_controller->Jobs().SetOptions(options);
        m_guardLifted = on;
        showNoteLine();
    });
    // Also for this session only: how a large fleet is flashed.
    // Each is ticked while it is not the default, as "Allow other models" is.
    QAction* atOnce = addCaptioned(m_moreMenu, "actionCamerasAtOnce", caption::kCamerasAtOnce);
    atOnce->setCheckable(true);
    connect(atOnce, &QAction::triggered, this,
            [this] { askJobNumber(caption::kCamerasAtOnce, caption::kCamerasAtOnceLabel, &JobOptions::parallel); });
    QAction* skipCurrent = addCaptioned(m_moreMenu, "actionSkipCurrent", caption::kSkipCurrent);
    skipCurrent->setCheckable(true);
    connect(skipCurrent, &QAction::toggled, this, [this](bool on) {
        JobOptions options = m_controller->Jobs().Options();
        options.skipCurrent = on;
        m_controller->Jobs().SetOptions(options);
        showOptions();
    });
    QAction* firstWave = addCaptioned(m_moreMenu, "actionFirstWave", caption::kFirstWave);
    firstWave->setCheckable(true);
    connect(firstWave, &QAction::triggered, this,
            [this] { askJobNumber(caption::kFirstWave, caption::kFirstWaveLabel, &JobOptions::firstWave); });
}

void MainWindow::askJobNumber(const Caption& title, const Caption& label, std::size_t JobOptions::*field) {
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dialogJobNumber"));
    dialog.setWindowTitle(title.Tr().remove(QStringLiteral("...")));
    dialog.setLabelText(label.Tr());
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(0, static_cast<int>(JobOptions::kMostAtOnce));
    JobOptions options = m_controller->Jobs().Options();
    dialog.setIntValue(static_cast<int>(options.*field));
    if (m_hooks.runDialog(dialog) == QDialog::Accepted) {
        options = m_controller->Jobs().Options();
        options.*field = static_cast<std::size_t>(dialog.intValue());
        m_controller->Jobs().SetOptions(options);
    }
    // The menu ticked the entry when it was chosen; the tick follows the value, cancelled or not.
    showOptions();
}

QString MainWindow::optionsLine() const {
    const JobOptions options = m_controller->Jobs().Options();
    QStringList on;
    if (options.parallel != 0)
        on << caption::kAtOnceOn.Tr().arg(options.parallel);
    if (options.skipCurrent)
        on << caption::kSkipCurrentOn.Tr();
    if (options.firstWave != 0)
        on << caption::kFirstWaveOn.Tr().arg(options.firstWave);
    return on.join(caption::kNoteJoin.Tr());
}

void MainWindow::showOptions() {
    const JobOptions options = m_controller->Jobs().Options();
    const std::pair<const char*, bool> ticks[] = {{"actionCamerasAtOnce", options.parallel != 0},
                                                  {"actionSkipCurrent", options.skipCurrent},
                                                  {"actionFirstWave", options.firstWave != 0}};
    for (const auto& [name, on] : ticks) {
        auto* action = m_moreMenu->findChild<QAction*>(QString::fromLatin1(name));
        const QSignalBlocker quiet(action);
        action->setChecked(on);
    }
    showNoteLine();
}

void MainWindow::ShowCredentials() {
    m_controller->OnSet([this](const StoredLogin& stored) -> std::optional<StoredLogin> {
        CredentialsDialog dialog(stored, this);
        if (m_hooks.runDialog(dialog) != QDialog::Accepted)
            return std::nullopt;
        return dialog.Login();
    });
}

void MainWindow::ShowAbout() {
    AboutDialog dialog([this](const std::string& url) { m_hooks.openUrl(url); }, this);
    m_hooks.runDialog(dialog);
}

void MainWindow::ExportList() {
    const QString suggested = QDir(m_lastFolder).filePath(QStringLiteral("cameras.csv"));
    std::optional<std::string> path;
    if (m_hooks.chooseSaveFile) {
        path = m_hooks.chooseSaveFile(this, suggested);
    } else {
        const QString chosen =
            QFileDialog::getSaveFileName(this, caption::kExportTitle.Tr(), suggested, caption::kCsvFiles.Tr());
        if (!chosen.isEmpty())
            path = chosen.toStdString();
    }
    if (!path)
        return;
    // A name typed without an ending is still a CSV file, and is named so.
    QString shown = QString::fromStdString(*path);
    if (QFileInfo(shown).suffix().isEmpty())
        shown += QStringLiteral(".csv");
    if (ExportListCsv(m_controller->Discovery(), m_controller->Fleet(), shown.toStdString())) {
        m_lastFolder = QFileInfo(shown).absolutePath();
        ShowNote(caption::kExported.Tr().arg(shown));
    } else
        MessageBox(caption::kCannotWrite.Tr().arg(shown), caption::kExportTitle.Tr());
}

void MainWindow::OpenJobRecords() {
    const JobRecords& records = m_controller->Fleet().Records();
    const QString folder = QString::fromStdString(records.Folder());
    if (!records.CreateFolder()) {
        ShowNote(folder.isEmpty() ? caption::kNoRecordsFolder.Tr() : caption::kCannotCreate.Tr().arg(folder));
        return;
    }
    // The folder's path stands in the note line either way: a desktop without a file manager is
    // told so, and where one was started the technician still sees where the records are.
    const bool opened = m_hooks.openFolder(records.Folder());
    ShowNote((opened ? caption::kRecordsShown : caption::kNoFileManager).Tr().arg(folder));
}
