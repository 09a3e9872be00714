// The main window's layout, texts in both languages and its thread-safe window interface.
#include <QComboBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <array>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"
#include "window/InfoOptions.h"

namespace {

TEST(MainWindowTest, EnglishTextsAndDefaults) {
    GuiFixture f(437);
    EXPECT_EQ(f.window->windowTitle(), "Device Flashwell 2.0");
    EXPECT_EQ(f.Text("labelCameraLists"), "Camera lists:");
    EXPECT_EQ(f.Text("buttonBrowse"), "Browse File...");
    EXPECT_EQ(f.Text("labelNetworkCard"), "Network Card ");
    EXPECT_EQ(f.Text("labelModel"), "Device Model");
    EXPECT_EQ(f.Text("labelVersion"), "Firmware Version");
    EXPECT_EQ(f.Text("labelUser"), "ID");
    EXPECT_EQ(f.Text("labelPassword"), "Pwd");
    EXPECT_EQ(f.Text("labelIp"), "IP:");
    EXPECT_EQ(f.Text("labelTilde"), "~");
    EXPECT_EQ(f.Text("buttonAutoChangeIp"), "Auto Change IP");
    EXPECT_EQ(f.Text("buttonSearch"), "Search");
    EXPECT_EQ(f.Text("buttonResetDefault"), "Reset Default");
    EXPECT_EQ(f.Text("buttonCheckVersion"), "Check Version");
    EXPECT_EQ(f.Text("buttonUpgrade"), "Starting Upgrade");
    EXPECT_EQ(f.Text("buttonExit"), "Exit");
    const QStringList lines = f.Text("labelDescription").split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "***** Function Description *****");
    // The template's text promised to upgrade every device when none was selected; the window does nothing then.
    EXPECT_EQ(lines[1], "\"Auto Change IP\" : Auto change IP address of selected devices which using '192.168.0.20' "
                        "with predefined IP range (nothing done if no one selected)");
    EXPECT_EQ(lines[2], "\"Starting Upgrade\" : Auto upgrade firmware to selected devices (nothing done if no one "
                        "selected)");
    EXPECT_EQ(f.Text("editUser"), "root");
    EXPECT_EQ(f.Text("editPassword"), "qnwt");
    EXPECT_EQ(f.Text("editRangeStart"), "31");
    EXPECT_EQ(f.Text("editRangeEnd"), "250");
    EXPECT_EQ(f.window->FieldText(Field::User), "root");
    EXPECT_EQ(f.Find<QLineEdit>("editPassword")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(f.Find<QLineEdit>("editModel")->isReadOnly());
    auto* combo = f.Find<QComboBox>("comboAdapters");
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentText(), "eth0 (e1000e)");
}

TEST(MainWindowTest, ChineseTextsForCodePage936) {
    GuiFixture f(936);
    EXPECT_EQ(f.window->windowTitle(), "Flashwell V 2.0");
    EXPECT_EQ(f.Text("labelCameraLists"), "设备列表");
    EXPECT_EQ(f.Text("buttonSearch"), "搜索");
    EXPECT_EQ(f.Text("labelModel"), "设备类型");
    EXPECT_EQ(f.Text("labelVersion"), "固件版本");
    EXPECT_EQ(f.Text("buttonAutoChangeIp"), "自动更新IP地址");
    EXPECT_EQ(f.Text("buttonExit"), "退出");
    EXPECT_EQ(f.Text("buttonUpgrade"), "开始刷新固件");
    EXPECT_EQ(f.Text("buttonResetDefault"), "还原默认值");
    EXPECT_EQ(f.Text("buttonCheckVersion"), "查询固件版本");
    EXPECT_EQ(f.Text("buttonBrowse"), "文件浏览");
    EXPECT_EQ(f.Text("labelUser"), "登录名");
    EXPECT_EQ(f.Text("labelPassword"), "密码");
    EXPECT_EQ(f.Text("labelNetworkCard"), "网卡 "); // English in the original, which had no string for it
    const QStringList lines = f.Text("labelDescription").split(QLatin1Char('\n'));
    // The string table's text ran two versions of one sentence together and promised to update everything.
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "***** 功能提示 *****");
    EXPECT_EQ(lines[1], "@ 点击\"自动更新IP地址\" 可自动为选定的192.168.0.20设备更新IP地址");
    EXPECT_EQ(lines[2], "  (可自定义IP地址范围；若无选择，则不做任何操作)");
    EXPECT_EQ(lines[3], "@ 点击\"开始刷新固件\" 可自动为选定的设备刷新固件");
    EXPECT_EQ(lines[4], "  (若无选择，则不做任何操作)");
}

TEST(MainWindowTest, ColumnTitlesAndWidths) {
    const char* english[] = {"Idx", "Name", "IP", "MAC", "Status"};
    const char* chinese[] = {"索引", "设备名称", "设备IP", "网卡MAC地址", "更新状态"};
    for (unsigned cp : {437u, 850u, 936u}) {
        GuiFixture f(cp);
        auto* list = f.Find<QTableView>("listDevices");
        // Model and Version follow the original's five; the window shows them when it has grown.
        ASSERT_EQ(list->model()->columnCount(), 7);
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(),
                      QString::fromUtf8(cp == 936 ? chinese[c] : english[c]));
        EXPECT_TRUE(list->showGrid());
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }
}

TEST(MainWindowTest, ControlsSitAtTheirConvertedPositions) {
    GuiFixture f(437);
    const DialogUnits& du = f.window->Units();
    EXPECT_GT(du.BaseX(), 0);
    EXPECT_EQ(f.window->size(), QSize(du.X(444), du.Y(282)));
    EXPECT_EQ(f.window->minimumSize(), f.window->size()) << "the first size is the smallest";
    struct Placed {
        const char* name;
        int x, y, w, h;
    };
    // The template's places, except where a caption did not fit: "Camera lists:" stands above the
    // list, and the labels of the field rows are as wide as their captions need.
    const Placed placed[] = {{"labelCameraLists", 6, 16, 100, 9},
                             {"editPath", 6, 3, 342, 12},
                             {"buttonBrowse", 378, 3, 59, 12},
                             {"listDevices", 6, 26, 431, 157},
                             {"labelNetworkCard", 6, 190, 50, 8},
                             {"labelModel", 6, 208, 45, 8},
                             {"editModel", 57, 205, 76, 14},
                             {"labelVersion", 137, 208, 60, 8},
                             {"editVersion", 199, 205, 74, 14},
                             {"labelUser", 283, 207, 25, 8},
                             {"editUser", 309, 204, 37, 14},
                             {"labelPassword", 347, 207, 21, 8},
                             {"editPassword", 369, 204, 35, 14},
                             {"labelDescription", 7, 221, 272, 40},
                             {"labelIp", 287, 227, 13, 8},
                             {"editRangeStart", 307, 225, 24, 14},
                             {"labelTilde", 338, 229, 8, 8},
                             {"editRangeEnd", 350, 225, 24, 14},
                             {"buttonAutoChangeIp", 376, 225, 61, 15},
                             {"buttonSearch", 389, 245, 48, 15},
                             {"buttonResetDefault", 311, 246, 74, 14},
                             {"buttonCheckVersion", 227, 263, 74, 14},
                             {"buttonUpgrade", 311, 262, 75, 15},
                             {"buttonExit", 390, 263, 47, 14}};
    for (const Placed& p : placed) {
        auto* w = f.Find<QWidget>(p.name);
        ASSERT_NE(w, nullptr) << p.name;
        EXPECT_EQ(w->geometry(), du.Rect(p.x, p.y, p.w, p.h)) << p.name;
    }
    EXPECT_EQ(f.Find<QWidget>("comboAdapters")->geometry().topLeft(), QPoint(du.X(57), du.Y(189)));
}

TEST(MainWindowTest, ControlsEnabledKeepsListAndExit) {
    GuiFixture f(437);
    f.window->Controller().EnableControls(false);
    for (const char* name :
         {"comboAdapters", "editPath", "buttonBrowse", "editUser", "editPassword", "editRangeStart", "editRangeEnd",
          "buttonAutoChangeIp", "buttonResetDefault", "buttonCheckVersion", "buttonUpgrade", "buttonSearch"})
        EXPECT_FALSE(f.Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(f.Find<QWidget>("listDevices")->isEnabled());
    EXPECT_TRUE(f.Find<QWidget>("buttonExit")->isEnabled());
    f.window->Controller().EnableControls(true);
    EXPECT_TRUE(f.Find<QWidget>("buttonUpgrade")->isEnabled());
}

TEST(MainWindowTest, WorkerCallsArePostedToTheWindowThread) {
    GuiFixture f(437);
    std::thread worker([&] {
        f.window->SetFieldText(Field::Model, "IPC9");
        f.window->ControlsEnabled(false);
        f.window->MessageBox(Text("please check network status..."), Text("MSG"));
        f.window->OpenUrl("http://10.0.0.9");
    });
    worker.join();
    GuiFixture::Settle();
    EXPECT_EQ(f.Text("editModel"), "IPC9");
    EXPECT_FALSE(f.Find<QWidget>("buttonSearch")->isEnabled());
    auto* box = f.window->findChild<QMessageBox*>(QStringLiteral("messageBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "MSG");
    EXPECT_EQ(box->text(), "please check network status...");
    EXPECT_EQ(f.opened, std::vector<std::string>{"http://10.0.0.9"});
}

// Whatever reaches the opener is a camera's http page, never another scheme, host name or path.
TEST(MainWindowTest, OnlyACameraPageIsEverOpened) {
    GuiFixture f(437);
    for (const char* url : {"file:///etc/passwd", "https://10.0.0.9", "http://camera.example/", "javascript:alert(1)",
                            "http://10.0.0.9/cgi-bin/x", "http://10.0.0.9/?q=1", "http://user@10.0.0.9",
                            "http://10.0.0.9#top", "http://10.0.0.256", "-x http://10.0.0.9", ""})
        f.window->OpenUrl(url);
    f.window->OpenUrl("http://10.0.0.9:8080");
    GuiFixture::Settle();
    EXPECT_EQ(f.opened, std::vector<std::string>{"http://10.0.0.9:8080"});

    // A desktop without a browser: the double-click did nothing, and nothing said so.
    MainWindowHooks hooks;
    hooks.openUrl = [](const std::string&) { return false; };
    GuiFixture bare(437, hooks);
    bare.window->OpenUrl("http://10.0.0.9:8080");
    GuiFixture::Settle();
    EXPECT_EQ(bare.window->NoteLine(), "No web browser could be started: open http://10.0.0.9:8080 yourself");
    bare.Find<QPushButton>("buttonSearch")->click();
    GuiFixture::Settle();
    EXPECT_EQ(bare.window->NoteLine(), "") << "a new search clears the last error";
}

TEST(MainWindowTest, TypedTextReachesTheController) {
    GuiFixture f(437);
    auto* path = f.Find<QLineEdit>("editPath");
    path->setFocus();
    QTest::keyClicks(path, "/tmp/fw.bin");
    EXPECT_EQ(f.window->FieldText(Field::FirmwarePath), "/tmp/fw.bin");
}

TEST(MainWindowTest, EnterDoesNothingAndEscapeCloses) {
    GuiFixture f(437);
    auto* user = f.Find<QLineEdit>("editUser");
    user->setFocus();
    QTest::keyClick(user, Qt::Key_Return);
    QTest::keyClick(f.window.get(), Qt::Key_Enter);
    GuiFixture::Settle();
    EXPECT_TRUE(f.window->isVisible());
    EXPECT_NE(f.window->Controller().Discovery().Table(), nullptr);
    QTest::keyClick(user, Qt::Key_Escape);
    GuiFixture::Settle();
    EXPECT_FALSE(f.window->isVisible());
    EXPECT_EQ(f.window->Controller().Discovery().Table(), nullptr); // closing ran the controller's OnCancel
}

// The window wrote the original's trace lines ("Index = 2", every "Reply: ...") to standard output
// on every start, into a desktop launcher's journal.
TEST(MainWindowTest, TraceLinesOnlyWhenAskedFor) {
    const char* plain[] = {"flashwell", "-platform", "offscreen"};
    const char* traced[] = {"flashwell", "-platform", "offscreen", "--trace"};
    EXPECT_FALSE(TraceWanted(3, plain, nullptr));
    EXPECT_FALSE(TraceWanted(3, plain, "0"));
    EXPECT_FALSE(TraceWanted(3, plain, ""));
    EXPECT_TRUE(TraceWanted(3, plain, "1"));
    EXPECT_TRUE(TraceWanted(4, traced, nullptr));
    std::ostringstream out;
    EXPECT_EQ(AnswerInfoOptions(2, std::array<const char*, 2>{"flashwell", "--help"}.data(), out), 0);
    EXPECT_NE(out.str().find("--trace"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("FLASHWELL_TRACE"), std::string::npos) << out.str();
}

TEST(MainWindowTest, ButtonsAreHarmlessAfterClosing) {
    GuiFixture f(437);
    f.Find<QPushButton>("buttonExit")->click();
    for (const char* name :
         {"buttonSearch", "buttonAutoChangeIp", "buttonResetDefault", "buttonCheckVersion", "buttonUpgrade"})
        f.Find<QPushButton>(name)->click();
    GuiFixture::Settle();
    EXPECT_EQ(f.window->Controller().Discovery().Table(), nullptr);
}

} // namespace
