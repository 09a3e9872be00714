// "Reset Default" and "Auto Change IP" ask first, naming the cameras; "No" leaves every camera alone.
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeCameraNetwork.h"

namespace {

using testsupport::FakeCamera;
using testsupport::FakeCameraNetwork;

// What the window asked, and the answer the test gives.
struct Asked {
    QString title, text, cameras, yes, no;
    bool noIsDefault = false;
};

struct QuestionFixture {
    explicit QuestionFixture(unsigned codePage) : net(std::make_shared<FakeCameraNetwork>()) {
        MainWindowHooks hooks;
        hooks.runDialog = [this](QDialog& d) {
            auto* box = qobject_cast<QMessageBox*>(&d);
            EXPECT_NE(box, nullptr) << "a question is a message box";
            if (!box)
                return int(QDialog::Rejected);
            asked.push_back({box->windowTitle(), box->text(), box->informativeText(),
                             box->button(QMessageBox::Yes)->text(), box->button(QMessageBox::No)->text(),
                             box->defaultButton() == box->button(QMessageBox::No)});
            return int(answer);
        };
        f = std::make_unique<GuiFixture>(codePage, hooks, net);
        // A moved camera's own reply is what counts it as moved.
        net->SetReplySink(
            [this](std::span<const std::uint8_t> reply) { f->window->Controller().Discovery().Intake()->Take(reply); });
    }

    // A camera in the list and on the fake network, at the same address.
    void Add(const std::string& name, Ipv4 ip, std::uint8_t tail) {
        FakeCamera c;
        c.name = name;
        c.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, tail};
        c.ip = ip;
        net->AddCamera(c);
        f->AddCamera(name, ip, tail);
    }
    void Select(const std::vector<int>& rows) {
        auto* list = f->Find<QTableView>("listDevices");
        list->clearSelection();
        for (int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void Press(const char* button) {
        f->Find<QPushButton>(button)->click();
        QElapsedTimer waited;
        waited.start();
        while (f->window->Controller().Jobs().Threads().AnyRunning() && waited.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        f->window->Controller().Jobs().Threads().JoinAll();
        GuiFixture::Settle();
    }

    std::shared_ptr<FakeCameraNetwork> net;
    std::unique_ptr<GuiFixture> f;
    QMessageBox::StandardButton answer = QMessageBox::No;
    std::vector<Asked> asked;
};

TEST(QuestionsTest, ResetDefaultNamesTheCamerasAndNoResetsNone) {
    QuestionFixture q(437);
    q.Add("Lobby", {10, 0, 0, 1}, 1);
    q.Add("Gate", {10, 0, 0, 2}, 2);
    q.Add("Dock", {10, 0, 0, 3}, 3);

    q.Press("buttonResetDefault"); // nothing selected: the controller says so, nobody is asked
    EXPECT_TRUE(q.asked.empty());
    EXPECT_EQ(q.f->window->NoteLine(), "Nothing was done: no camera is selected.");

    q.Select({0, 2});
    q.Press("buttonResetDefault");
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_EQ(q.asked[0].title, "Reset Default");
    EXPECT_EQ(q.asked[0].text,
              "Reset 2 cameras to factory defaults? Their addresses, passwords and settings are lost.");
    EXPECT_EQ(q.asked[0].cameras, "Lobby   10.0.0.1   00:1a:2b:3c:4d:01\nDock   10.0.0.3   00:1a:2b:3c:4d:03");
    EXPECT_TRUE(q.asked[0].noIsDefault) << "Enter must not reset";
    EXPECT_TRUE(q.net->Calls("reset").empty()) << "No resets nothing";
    EXPECT_EQ(q.f->window->NoteLine(), "Nothing was done: the reset was not confirmed.");

    q.Select({1});
    q.answer = QMessageBox::Yes;
    q.Press("buttonResetDefault");
    ASSERT_EQ(q.asked.size(), 2u);
    EXPECT_EQ(q.asked[1].text, "Reset 1 camera to factory defaults? Its address, password and settings are lost.");
    EXPECT_EQ(q.net->Camera("Gate").resets, 1);
    EXPECT_EQ(q.net->Camera("Lobby").resets + q.net->Camera("Dock").resets, 0);
    EXPECT_EQ(q.f->window->SelectedRows(), std::vector<int>{1}) << "the selection outlives the job";
}

TEST(QuestionsTest, AutoChangeIpAsksOnlyForTheCamerasAtTheFactoryAddress) {
    QuestionFixture q(437);
    q.Add("Lobby", {192, 168, 0, 20}, 1);
    q.Add("Own", {192, 168, 0, 45}, 2);
    q.Add("Gate", {192, 168, 0, 20}, 3);
    q.Select({1});
    q.Press("buttonAutoChangeIp");
    EXPECT_TRUE(q.asked.empty()) << "no selected camera would change";
    EXPECT_EQ(q.f->window->NoteLine(), "Nothing was done: none of the selected cameras is at 192.168.0.20.");
    EXPECT_TRUE(q.net->Commands().empty());

    q.Select({0, 1, 2});
    q.Press("buttonAutoChangeIp");
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_EQ(q.asked[0].title, "Auto Change IP");
    EXPECT_EQ(q.asked[0].text, "Give 2 cameras at 192.168.0.20 addresses of their own from the range 31~250?");
    // The question named no address: each camera now stands with the one it will get.
    EXPECT_EQ(q.asked[0].cameras, "Lobby   192.168.0.20   00:1a:2b:3c:4d:01  →  192.168.0.31\n"
                                  "Gate   192.168.0.20   00:1a:2b:3c:4d:03  →  192.168.0.32\n\n"
                                  "About: an address that a station answers for on the network is skipped.");
    EXPECT_TRUE(q.net->Commands().empty()) << "No sends no command";
    EXPECT_EQ(q.f->window->NoteLine(), "Nothing was done: the new addresses were not confirmed.");

    q.answer = QMessageBox::Yes;
    q.Press("buttonAutoChangeIp");
    std::set<Mac> moved;
    for (const SetNetworkCommand& c : q.net->Commands())
        moved.insert(c.mac);
    EXPECT_EQ(moved, (std::set<Mac>{q.net->Camera("Lobby").mac, q.net->Camera("Gate").mac}));
    EXPECT_NE(q.net->Camera("Lobby").ip, (Ipv4{192, 168, 0, 20}));
}

// The window asked "Give 2 cameras ... from the range 250~31?" and only after Yes said the range was wrong.
TEST(QuestionsTest, AutoChangeIpChecksTheRangeBeforeItAsksAndNamesEachAddress) {
    QuestionFixture q(437);
    q.Add("Lobby", {192, 168, 0, 20}, 1);
    q.Add("Taken", {192, 168, 0, 101}, 2);
    q.Add("Gate", {192, 168, 0, 20}, 3);
    q.Add("Dock", {192, 168, 0, 20}, 4);
    q.Select({0, 2, 3});
    auto* start = q.f->Find<QLineEdit>("editRangeStart");
    auto* end = q.f->Find<QLineEdit>("editRangeEnd");
    EXPECT_TRUE(start->toolTip().endsWith(QStringLiteral("the last itself is never handed out")))
        << start->toolTip().toStdString();
    for (const auto& [from, to] : {std::pair{"250", "31"}, std::pair{"40", "40"}, std::pair{"0", "9"}}) {
        SCOPED_TRACE(std::string(from) + "~" + to);
        start->setText(QString::fromLatin1(from));
        end->setText(QString::fromLatin1(to));
        q.Press("buttonAutoChangeIp");
        EXPECT_TRUE(q.asked.empty()) << "refused before anyone is asked";
        EXPECT_TRUE(q.net->Commands().empty());
    }
    const auto box = q.f->window->findChildren<QMessageBox*>(QStringLiteral("messageBox"));
    ASSERT_FALSE(box.empty());
    EXPECT_EQ(box.back()->text(), "Nothing was sent: the range 0~9 must be host numbers from 1 to 254, its start "
                                  "not after its end.");

    // Two left before the end: the third camera is told there is none for it.
    start->setText(QStringLiteral("100"));
    end->setText(QStringLiteral("103"));
    q.Press("buttonAutoChangeIp");
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_EQ(q.asked[0].cameras, "Lobby   192.168.0.20   00:1a:2b:3c:4d:01  →  192.168.0.100\n"
                                  "Gate   192.168.0.20   00:1a:2b:3c:4d:03  →  192.168.0.102\n"
                                  "Dock   192.168.0.20   00:1a:2b:3c:4d:04  →  no address left in the range\n\n"
                                  "About: an address that a station answers for on the network is skipped.");
}

// "5 of 5 done" after a question about 3, an accepted reset with an empty Status, and a new job's
// blanking of rows it did not touch.
TEST(QuestionsTest, AJobCountsAndWritesOnlyItsOwnCamerasRows) {
    QuestionFixture q(437);
    q.Add("Lobby", {192, 168, 0, 20}, 1);
    q.Add("Own", {192, 168, 0, 45}, 2);
    q.Add("Gate", {192, 168, 0, 20}, 3);
    q.answer = QMessageBox::Yes;
    q.Select({0, 1, 2});
    q.Press("buttonAutoChangeIp");
    CTarnDlg& controller = q.f->window->Controller();
    EXPECT_EQ(controller.Fleet().ProgressText(), "2 of 2 done, 0 failed") << "the question was about two";
    const auto status = [&](int row) { return controller.Discovery().List().GetItemText(row, StatusColumn); };
    int own = -1;
    for (int row = 0; row < controller.Discovery().List().GetItemCount(); ++row)
        if (controller.Discovery().List().GetItemText(row, 1) == "Own")
            own = row;
    ASSERT_GE(own, 0);
    std::vector<std::string> before(static_cast<std::size_t>(controller.Discovery().List().GetItemCount()));
    for (std::size_t row = 0; row < before.size(); ++row)
        before[row] = status(static_cast<int>(row));
    EXPECT_EQ(std::count(before.begin(), before.end(), "Seen at its new address"), 2);

    q.Select({own});
    q.Press("buttonResetDefault");
    for (int row = 0; row < controller.Discovery().List().GetItemCount(); ++row) {
        if (row == own)
            EXPECT_EQ(status(row), "Back at 192.168.0.20") << "where the reset camera is back";
        else
            EXPECT_EQ(status(row), before[static_cast<std::size_t>(row)]) << "a row the reset did not touch";
    }
}

TEST(QuestionsTest, AGrownWindowGivesTheListTheRoomAndShowsWhatAQueryFound) {
    QuestionFixture q(437);
    q.Add("Lobby", {192, 168, 0, 31}, 1);
    q.Add("Gate", {192, 168, 0, 32}, 2);
    MainWindow& w = *q.f->window;
    auto* list = q.f->Find<QTableView>("listDevices");
    auto* exit = q.f->Find<QWidget>("buttonExit");
    const QSize first = w.size();
    const QRect listAtFirst = list->geometry(), exitAtFirst = exit->geometry();
    EXPECT_TRUE(list->isColumnHidden(DeviceListModel::ModelColumn)) << "the first size keeps the five columns";
    EXPECT_TRUE(list->isColumnHidden(DeviceListModel::VersionColumn));

    q.Select({0, 1});
    q.Press("buttonCheckVersion");
    w.resize(1500, 950);
    GuiFixture::Settle();
    const QSize grown = w.size() - first;
    EXPECT_EQ(list->geometry().size(), listAtFirst.size() + grown) << "the list takes all the window gained";
    EXPECT_EQ(exit->geometry(), exitAtFirst.translated(grown.width(), grown.height())) << "Exit keeps to its corner";
    EXPECT_EQ(q.f->Find<QWidget>("labelDescription")->geometry().x(), w.Units().X(7));
    EXPECT_FALSE(list->isColumnHidden(DeviceListModel::ModelColumn));
    EXPECT_FALSE(list->isColumnHidden(DeviceListModel::VersionColumn));
    const QAbstractItemModel* m = list->model();
    EXPECT_EQ(m->headerData(DeviceListModel::ModelColumn, Qt::Horizontal).toString(), "Model");
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(m->index(row, DeviceListModel::ModelColumn).data().toString(), "IPC1234") << row;
        EXPECT_EQ(m->index(row, DeviceListModel::VersionColumn).data().toString(), "V1.05") << row;
    }
    EXPECT_LE(list->horizontalHeader()->length(), list->viewport()->width()) << "no horizontal scroll bar";
    emit list->horizontalHeader()->sectionClicked(DeviceListModel::ModelColumn);
    EXPECT_NE(list->horizontalHeader()->sortIndicatorSection(), DeviceListModel::ModelColumn) << "it has no order";
    EXPECT_EQ(m->index(0, 1).data().toString(), "Lobby") << "and the rows keep theirs";

    w.resize(first);
    GuiFixture::Settle();
    EXPECT_EQ(list->geometry(), listAtFirst);
    EXPECT_EQ(exit->geometry(), exitAtFirst);
    EXPECT_TRUE(list->isColumnHidden(DeviceListModel::ModelColumn));
}

TEST(QuestionsTest, QuestionsSpeakChinese) {
    QuestionFixture q(936);
    for (std::uint8_t i = 1; i <= 14; ++i)
        q.Add("cam" + std::to_string(i), {192, 168, 0, 20}, i);
    q.f->window->findChild<QTableView*>(QStringLiteral("listDevices"))->selectAll();
    q.Press("buttonResetDefault");
    q.Press("buttonAutoChangeIp");
    ASSERT_EQ(q.asked.size(), 2u);
    EXPECT_EQ(q.asked[0].title, "还原默认值");
    EXPECT_EQ(q.asked[0].text, "将 14 台设备还原为出厂默认值？其IP地址、密码和设置将全部丢失。");
    EXPECT_EQ(q.asked[0].yes, "是");
    EXPECT_EQ(q.asked[0].no, "否");
    EXPECT_TRUE(q.asked[0].cameras.endsWith(QStringLiteral("另有 2 台"))) << q.asked[0].cameras.toStdString();
    EXPECT_EQ(q.asked[0].cameras.count(QLatin1Char('\n')), 12) << "twelve named, then how many more";
    EXPECT_EQ(q.asked[1].title, "自动更新IP地址");
    EXPECT_EQ(q.asked[1].text, "为 14 台IP地址为192.168.0.20的设备分配范围 31~250 内的新IP地址？");
    EXPECT_EQ(q.f->window->NoteLine(), "未做任何操作：未确认更新IP地址。");
    EXPECT_TRUE(q.net->Calls("reset").empty());
}

} // namespace
