// The firmware chooser, the credentials dialog, the account presets and the About box.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "FlashwellVersion.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeKeyring.h"
#include "tests/support/TestSupport.h"
#include "window/HyperLink.h"

namespace {

// An image header with version digits at 24 and the model at 68.
QString writeImage(const QTemporaryDir& dir, const char* version, const char* model) {
    QByteArray bytes(100, '\0');
    bytes.replace(24, static_cast<int>(qstrlen(version)), version);
    bytes.replace(68, static_cast<int>(qstrlen(model)), model);
    QString path = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// Points HOME at a temporary folder for one test.
struct TemporaryHome {
    TemporaryHome() : saved(std::getenv("HOME") ? std::getenv("HOME") : "") {
        setenv("HOME", dir.path().toLocal8Bit().constData(), 1);
    }
    ~TemporaryHome() { setenv("HOME", saved.c_str(), 1); }
    QTemporaryDir dir;
    std::string saved;
};

TEST(DialogsTest, BrowseShowsModelAndVersionAndCancelEmptiesThePath) {
    QTemporaryDir dir;
    const QString image = writeImage(dir, "123", "IPC1234");
    std::vector<std::optional<std::string>> answers{image.toStdString(), std::nullopt, dir.path().toStdString()};
    std::size_t asked = 0;
    MainWindowHooks hooks;
    hooks.chooseFile = [&](QWidget*, const QString&) { return answers.at(asked++); };
    GuiFixture f(437, hooks);
    f.Find<QPushButton>("buttonBrowse")->click();
    EXPECT_EQ(f.Text("editPath"), image);
    EXPECT_EQ(f.Text("editModel"), "IPC1234");
    EXPECT_EQ(f.Text("editVersion"), "V1.23");
    f.Find<QPushButton>("buttonBrowse")->click(); // cancelled
    EXPECT_EQ(f.Text("editPath"), "");
    EXPECT_EQ(f.Text("editModel"), "IPC1234");
    f.Find<QPushButton>("buttonBrowse")->click(); // a folder
    EXPECT_EQ(f.Text("editPath"), dir.path());
    EXPECT_EQ(f.Text("editVersion"), "V1.23");
    EXPECT_EQ(asked, 3u);
}

TEST(DialogsTest, TheStoredLoginFillsTheFieldsAtStartAndFollowsTheDialogAndThePresets) {
    testsupport::ScratchDir top;
    auto keyring = std::make_shared<testsupport::FakeKeyring>();
    auto store = std::make_shared<LoginStore>(top.path() + "/config", top.path(), keyring);
    std::function<int(QDialog&)> step;
    MainWindowHooks hooks;
    hooks.runDialog = [&](QDialog& d) { return step(d); };
    hooks.platform.logins = store;
    auto f = std::make_unique<GuiFixture>(437, hooks);
    EXPECT_EQ(f->Text("editUser"), "root"); // nothing stored: the built-in login
    EXPECT_EQ(f->Text("editPassword"), "qnwt");
    QAction* set = f->window->findChild<QAction*>(QStringLiteral("actionSetLogin"));
    ASSERT_NE(set, nullptr);

    step = [](QDialog& d) {
        EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("dialogUser"))->text(), ""); // nothing stored yet
        d.findChild<QLineEdit*>(QStringLiteral("dialogUser"))->setText(QStringLiteral("admin"));
        d.findChild<QLineEdit*>(QStringLiteral("dialogPassword"))->setText(QStringLiteral("bzfhk"));
        return int(QDialog::Accepted);
    };
    set->trigger();
    EXPECT_EQ(f->Text("editUser"), "admin");
    EXPECT_EQ(f->Text("editPassword"), "bzfhk");
    EXPECT_EQ(keyring->held, "bzfhk");

    step = [](QDialog& d) {
        EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("dialogUser"))->text(), "admin");
        EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("dialogPassword"))->text(), "bzfhk");
        d.findChild<QLineEdit*>(QStringLiteral("dialogUser"))->setText(QStringLiteral("ignored"));
        return int(QDialog::Rejected);
    };
    f->window->SetFieldText(Field::User, "typed");
    set->trigger();
    EXPECT_EQ(f->Text("editUser"), "typed"); // cancelling changes nothing
    EXPECT_EQ(store->Load().login->user, "admin");

    // The next start begins with what was stored.
    f = std::make_unique<GuiFixture>(437, hooks);
    EXPECT_EQ(f->Text("editUser"), "admin");
    EXPECT_EQ(f->Text("editPassword"), "bzfhk");

    // A preset is the login chosen from now on: fields and store agree.
    f->window->findChild<QAction*>(QStringLiteral("actionAccount_root"))->trigger();
    EXPECT_EQ(f->Text("editUser"), "root");
    EXPECT_EQ(store->Load().login->user, "root");
    EXPECT_EQ(keyring->held, "qnwt");

    // Without a keyring the login is still kept, and the line under the list says where.
    keyring->answering = false;
    f->window->findChild<QAction*>(QStringLiteral("actionAccount_admin"))->trigger();
    EXPECT_EQ(f->Text("editUser"), "admin");
    EXPECT_NE(f->window->NoteLine().toStdString().find("No keyring answered"), std::string::npos)
        << f->window->NoteLine().toStdString();
    f = std::make_unique<GuiFixture>(437, hooks);
    EXPECT_EQ(f->Text("editPassword"), "bzfhk");
    EXPECT_NE(f->window->NoteLine().toStdString().find("the camera password is kept in"), std::string::npos);
}

TEST(DialogsTest, AccountPresetsFillTheLogin) {
    GuiFixture f(437);
    f.window->findChild<QAction*>(QStringLiteral("actionAccount_admin"))->trigger();
    EXPECT_EQ(f.Text("editUser"), "admin");
    EXPECT_EQ(f.Text("editPassword"), "bzfhk");
    f.window->findChild<QAction*>(QStringLiteral("actionAccount_root"))->trigger();
    EXPECT_EQ(f.Text("editUser"), "root");
    EXPECT_EQ(f.Text("editPassword"), "qnwt");
    f.window->Controller().EnableControls(false);
    EXPECT_FALSE(f.window->findChild<QAction*>(QStringLiteral("actionAccount_admin"))->isEnabled());
}

// The About box had no button to close it, and "Flashwell v2.0 (2.1.0)" named two versions unexplained.
TEST(DialogsTest, AboutBoxLinksToTheHomePageAndSaysWhichVersionIsWhose) {
    MainWindowHooks hooks;
    QString title;
    QStringList lines;
    bool closed = false;
    hooks.runDialog = [&](QDialog& d) {
        title = d.windowTitle();
        EXPECT_EQ(d.font(), d.parentWidget()->font()) << "the window's font";
        auto* link = d.findChild<HyperLink*>(QStringLiteral("aboutLink"));
        EXPECT_NE(link, nullptr);
        if (link)
            QTest::mouseClick(link, Qt::LeftButton);
        for (const char* name : {"aboutName", "aboutRelease", "aboutOriginal"})
            lines << d.findChild<QLabel*>(QString::fromLatin1(name))->text();
        auto* close = d.findChild<QPushButton*>(QStringLiteral("aboutClose"));
        EXPECT_NE(close, nullptr);
        if (close) {
            QObject::connect(&d, &QDialog::accepted, [&closed] { closed = true; });
            close->click();
        }
        return d.result();
    };
    GuiFixture f(437, hooks);
    f.window->findChild<QAction*>(QStringLiteral("actionAbout"))->trigger();
    EXPECT_EQ(title, "About Flashwell v2.0");
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Flashwell v2.0"),
                                  QStringLiteral("Release %1 of this program").arg(QLatin1String(kFlashwellVersion)),
                                  QStringLiteral("(v2.0 is the version of the original tool)")}));
    EXPECT_EQ(lines.join(QLatin1Char(' ')).count(QLatin1String(kFlashwellVersion)), 1) << "the release once";
    EXPECT_TRUE(closed) << "Close ends the box";
    EXPECT_EQ(f.opened, std::vector<std::string>{"https://github.com/flashwell"});
}

// "Set Login..." had an empty title and Courier, so it looked like another program's box; the menu,
// its dialogs and its notes stayed English in a Chinese window.
TEST(DialogsTest, TheMenuAndItsDialogsSpeakTheWindowsLanguage) {
    MainWindowHooks hooks;
    std::vector<std::pair<QString, QStringList>> seen;
    hooks.runDialog = [&](QDialog& d) {
        QStringList texts;
        for (const QLabel* l : d.findChildren<QLabel*>())
            if (!l->text().isEmpty())
                texts << l->text();
        for (const QPushButton* b : d.findChildren<QPushButton*>())
            texts << b->text();
        EXPECT_EQ(d.font(), d.parentWidget()->font()) << d.objectName().toStdString();
        seen.emplace_back(d.windowTitle(), texts);
        return int(QDialog::Rejected);
    };
    TemporaryHome home;
    for (unsigned codePage : {437u, 936u}) {
        SCOPED_TRACE(codePage);
        seen.clear();
        GuiFixture f(codePage, hooks);
        QStringList entries;
        for (const QAction* a : f.window->MoreMenu()->actions())
            if (!a->isSeparator())
                entries << a->text();
        const QStringList english{QStringLiteral("Set Login..."),
                                  QStringLiteral("Account"),
                                  QStringLiteral("Allow other models"),
                                  QStringLiteral("Cameras at once..."),
                                  QStringLiteral("Skip cameras already at this version"),
                                  QStringLiteral("First wave..."),
                                  QStringLiteral("Export list..."),
                                  QStringLiteral("Job records"),
                                  QStringLiteral("Cameras away from home..."),
                                  QStringLiteral("About Flashwell...")};
        const QStringList chinese{QStringLiteral("设置登录..."),          QStringLiteral("账户"),
                                  QStringLiteral("允许其他型号"),         QStringLiteral("同时处理的设备数..."),
                                  QStringLiteral("跳过已是此版本的设备"), QStringLiteral("首批设备..."),
                                  QStringLiteral("导出列表..."),          QStringLiteral("作业记录"),
                                  QStringLiteral("未回原地址的设备..."),  QStringLiteral("关于 Flashwell...")};
        EXPECT_EQ(entries, codePage == 936 ? chinese : english) << "and no \"DHCP\" that does nothing";
        EXPECT_EQ(
            f.Find<QWidget>("buttonMore")->toolTip(),
            codePage == 936
                ? QStringLiteral("登录、账户预设、型号检查、批量选项、导出、作业记录、未回原地址的设备、关于")
                : QStringLiteral("Login, account presets, model guard, fleet choices, export, job records, cameras "
                                 "away from home, About"));
        f.Find<QAction>("actionSetLogin")->trigger();
        f.Find<QAction>("actionAbout")->trigger();
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].first, f.window->windowTitle()) << "Set Login... is titled as the window";
        EXPECT_EQ(seen[0].second, codePage == 936 ? (QStringList{QStringLiteral("登录名"), QStringLiteral("密码"),
                                                                 QStringLiteral("确定"), QStringLiteral("取消")})
                                                  : (QStringList{QStringLiteral("ID"), QStringLiteral("Pwd"),
                                                                 QStringLiteral("OK"), QStringLiteral("Cancel")}));
        EXPECT_EQ(seen[1].first,
                  codePage == 936 ? QStringLiteral("关于 Flashwell v2.0") : QStringLiteral("About Flashwell v2.0"));
        EXPECT_TRUE(seen[1].second.contains(codePage == 936 ? QStringLiteral("关闭") : QStringLiteral("Close")));
    }
}

TEST(DialogsTest, LinkTextLimits) {
    HyperLink link(nullptr);
    EXPECT_TRUE(link.SetText(QString(31, QLatin1Char('a')), QString(1023, QLatin1Char('b'))));
    EXPECT_FALSE(link.SetText(QString(32, QLatin1Char('c')), QString()));
    EXPECT_EQ(link.text(), QString(31, QLatin1Char('a')));
    EXPECT_TRUE(link.SetText(QStringLiteral("own caption"), QString()));
    EXPECT_EQ(link.Target(), "own caption");
}

// The menu's job entries: the guard starts on, the list goes to a CSV file with spreadsheet-safe
// cells, an unwritable place is said, and the records folder is handed to the file manager.
TEST(DialogsTest, TheMenuExportsTheListAndOpensTheJobRecords) {
    QTemporaryDir dir;
    std::vector<std::optional<std::string>> answers{std::nullopt,
                                                    dir.filePath(QStringLiteral("list.csv")).toStdString(),
                                                    dir.filePath(QStringLiteral("missing/list.csv")).toStdString(),
                                                    dir.filePath(QStringLiteral("bench")).toStdString()};
    std::size_t asked = 0;
    QStringList offered;
    std::vector<std::string> folders;
    MainWindowHooks hooks;
    hooks.chooseSaveFile = [&](QWidget*, const QString& suggested) {
        offered << suggested;
        return answers.at(asked++);
    };
    bool fileManager = true;
    hooks.openFolder = [&](const std::string& folder) {
        folders.push_back(folder);
        return fileManager;
    };
    GuiFixture f(437, hooks);
    auto* guard = f.Find<QAction>("actionAllowOtherModels");
    ASSERT_NE(guard, nullptr);
    EXPECT_TRUE(guard->isCheckable());
    EXPECT_FALSE(guard->isChecked());
    guard->trigger();
    EXPECT_TRUE(f.window->Controller().Jobs().Options().allowOtherModels);
    guard->trigger();
    EXPECT_FALSE(f.window->Controller().Jobs().Options().allowOtherModels);

    f.AddCamera("=cmd|' /C calc'!A0", {192, 168, 0, 21}, 1);
    f.AddCamera("Plain, \"quoted\"", {192, 168, 0, 22}, 2);
    auto* exportList = f.Find<QAction>("actionExportList");
    exportList->trigger(); // cancelled
    exportList->trigger();
    GuiFixture::Settle();
    QFile file(dir.filePath(QStringLiteral("list.csv")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "Idx,Name,IP,MAC,Status,Model,Version\r\n"
                                            "001,'=cmd|' /C calc'!A0,192.168.0.21,00:1a:2b:3c:4d:01,,,\r\n"
                                            "002,\"Plain, \"\"quoted\"\"\",192.168.0.22,00:1a:2b:3c:4d:02,,,\r\n");
    EXPECT_EQ(f.window->NoteLine(), QStringLiteral("List exported to ") + dir.filePath(QStringLiteral("list.csv")));
    exportList->trigger();
    GuiFixture::Settle();
    auto* box = f.window->findChild<QMessageBox*>(QStringLiteral("messageBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Cannot write "))) << box->text().toStdString();
    EXPECT_EQ(asked, 3u);
    exportList->trigger(); // a name without an ending
    GuiFixture::Settle();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("bench.csv"))));
    EXPECT_EQ(f.window->NoteLine(), QStringLiteral("List exported to ") + dir.filePath(QStringLiteral("bench.csv")));
    // The chooser opens in the home folder, then where the list was last written.
    ASSERT_EQ(offered.size(), 4);
    EXPECT_EQ(offered[0], QDir::home().filePath(QStringLiteral("cameras.csv")));
    EXPECT_EQ(offered[2], dir.filePath(QStringLiteral("cameras.csv")));
    EXPECT_EQ(offered[3], offered[2]) << "a failed write does not move it";

    f.Find<QAction>("actionJobRecords")->trigger();
    ASSERT_EQ(folders.size(), 1u);
    const QString records = QString::fromStdString(f.window->Controller().Fleet().Records().Folder());
    EXPECT_EQ(QString::fromStdString(folders[0]), records);
    EXPECT_TRUE(QDir(records).exists()) << "made before it is opened";
    EXPECT_EQ(f.window->NoteLine(), QStringLiteral("Job records are in ") + records);
    // With no file manager "Job records" did nothing, and the note line still said "List exported to ...".
    fileManager = false;
    f.Find<QAction>("actionJobRecords")->trigger();
    EXPECT_EQ(f.window->NoteLine(), QStringLiteral("No file manager could open the folder of job records: ") + records);
}

} // namespace

// A large fleet's choices: cameras at once and the first wave are asked for as numbers (a cancel
// changes nothing), skipping cameras at the image's version is a check mark; all for the session.
TEST(DialogsTest, TheMenuSetsHowAFleetIsFlashed) {
    std::vector<int> answers{8, -1, 3, 0};
    std::size_t asked = 0;
    QStringList titles;
    MainWindowHooks hooks;
    hooks.runDialog = [&](QDialog& d) {
        auto* input = qobject_cast<QInputDialog*>(&d);
        if (!input)
            return static_cast<int>(QDialog::Rejected);
        titles << input->windowTitle();
        const int answer = answers.at(asked++);
        if (answer < 0)
            return static_cast<int>(QDialog::Rejected);
        input->setIntValue(answer);
        return static_cast<int>(QDialog::Accepted);
    };
    GuiFixture f(437, hooks);
    CTarnDlg& controller = f.window->Controller();
    auto* atOnce = f.Find<QAction>("actionCamerasAtOnce");
    auto* skip = f.Find<QAction>("actionSkipCurrent");
    auto* wave = f.Find<QAction>("actionFirstWave");
    ASSERT_TRUE(atOnce && skip && wave);
    EXPECT_EQ(atOnce->text(), "Cameras at once...");
    EXPECT_EQ(skip->text(), "Skip cameras already at this version");
    EXPECT_EQ(wave->text(), "First wave...");
    EXPECT_EQ(controller.Jobs().Options().parallel, 0u) << "all at once until asked otherwise";
    atOnce->trigger();
    EXPECT_EQ(controller.Jobs().Options().parallel, 8u);
    atOnce->trigger(); // cancelled
    EXPECT_EQ(controller.Jobs().Options().parallel, 8u);
    EXPECT_TRUE(atOnce->isChecked()) << "a choice that is on is ticked, whatever the cancel did";
    wave->trigger();
    EXPECT_EQ(controller.Jobs().Options().firstWave, 3u);
    EXPECT_EQ(controller.Jobs().Options().parallel, 8u) << "one choice leaves the other";
    EXPECT_TRUE(skip->isCheckable());
    skip->trigger();
    EXPECT_TRUE(controller.Jobs().Options().skipCurrent);
    EXPECT_EQ(f.window->NoteLine(),
              "8 cameras at once; cameras already at this version are skipped; a first wave of 3");
    skip->trigger();
    EXPECT_FALSE(controller.Jobs().Options().skipCurrent);
    atOnce->trigger(); // back to 0, all at once
    EXPECT_FALSE(atOnce->isChecked());
    EXPECT_TRUE(wave->isChecked());
    EXPECT_EQ(f.window->NoteLine(), "a first wave of 3");
    EXPECT_EQ(titles, (QStringList{"Cameras at once", "Cameras at once", "First wave", "Cameras at once"}));

    GuiFixture chinese(936);
    EXPECT_EQ(chinese.Find<QAction>("actionCamerasAtOnce")->text(), "同时处理的设备数...");
    EXPECT_EQ(chinese.Find<QAction>("actionSkipCurrent")->text(), "跳过已是此版本的设备");
    EXPECT_EQ(chinese.Find<QAction>("actionFirstWave")->text(), "首批设备...");
}

// A journal entry for a camera that had left the bench could not be forgotten, and cost every start.
TEST(DialogsTest, TheMenuListsTheCamerasAwayFromHomeAndForgetsTheChosenOnes) {
    QTemporaryDir state;
    const std::string folder = state.path().toStdString();
    {
        // Entries of a run that has ended (no process 0 runs): this window may act on them.
        std::ofstream journal(folder + "/journal.json");
        const std::string command(2 * kAnyAddressDatagramLength, '0');
        journal << R"({"version": 1, "routes": [], "restores": [)"
                << R"({"owner": {"pid": 0, "started": 0}, "mac": "02:00:00:00:00:91", "name": "Gone", )"
                << R"("home": "192.168.0.91", "moved_to": "169.254.9.1", "adapter": "eth0", "command": ")" << command
                << R"(", "since": "2026-12-01T08:00:00Z"}, )"
                << R"({"owner": {"pid": 0, "started": 0}, "mac": "02:00:00:00:00:92", "name": "Kept", )"
                << R"("home": "192.168.0.92", "moved_to": "169.254.9.2", "adapter": "eth0", "command": ")" << command
                << R"("}]})";
    }
    QStringList shown;
    bool breakFolder = false;
    MainWindowHooks hooks;
    hooks.runDialog = [&](QDialog& d) {
        auto* list = d.findChild<QListWidget*>(QStringLiteral("journalList"));
        if (!list)
            return static_cast<int>(QDialog::Rejected);
        if (breakFolder) {
            // The folder turns into a link between the listing and the press: the journal cannot be written.
            std::filesystem::rename(folder, folder + "-real");
            std::filesystem::create_directory_symlink(folder + "-real", folder);
            list->item(0)->setSelected(true);
            d.findChild<QPushButton*>(QStringLiteral("journalForget"))->click();
            shown << d.findChild<QLabel*>(QStringLiteral("journalSummary"))->text();
            std::filesystem::remove(folder);
            std::filesystem::rename(folder + "-real", folder);
            return static_cast<int>(QDialog::Accepted);
        }
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        shown << d.findChild<QLabel*>(QStringLiteral("journalSummary"))->text();
        if (list->count() == 0)
            return static_cast<int>(QDialog::Accepted);
        list->item(0)->setSelected(true);
        d.findChild<QPushButton*>(QStringLiteral("journalForget"))->click();
        shown << QString::number(list->count());
        return static_cast<int>(QDialog::Accepted);
    };
    GuiFixture f(437, hooks, {}, folder);
    CTarnDlg& controller = f.window->Controller();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return !controller.Jobs().Threads().AnyRunning() && !controller.IsBusy(); }, std::chrono::seconds(10)))
        << "the start-up's search for them is over";
    auto* away = f.Find<QAction>("actionAwayFromHome");
    ASSERT_NE(away, nullptr);
    EXPECT_EQ(away->text(), "Cameras away from home...");
    away->trigger();
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[0],
              "Gone (02:00:00:00:00:91) at 169.254.9.1, home 192.168.0.91 on eth0, since 2026-12-01T08:00:00Z");
    EXPECT_EQ(shown[1], "Kept (02:00:00:00:00:92) at 169.254.9.2, home 192.168.0.92 on eth0, since (not known)");
    EXPECT_TRUE(shown[2].startsWith("Away from home after an earlier job: 2.")) << shown[2].toStdString();
    EXPECT_EQ(shown[3], "1") << "the forgotten one left the list";
    const auto left = controller.Leftovers().AwayFromHome();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "Kept");

    // Forgetting that fails was silent: the dialog showed the camera gone from nothing but its list.
    shown.clear();
    breakFolder = true;
    away->trigger();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("Nothing was forgotten: ")) << shown[0].toStdString();
    EXPECT_EQ(controller.Leftovers().AwayFromHome().size(), 1u) << "still kept";
}
