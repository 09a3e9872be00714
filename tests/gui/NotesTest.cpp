// The line under the list and the list's tool tips: in the window's language, and true.
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/StatusTexts.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeCameraNetwork.h"

namespace {

using testsupport::FakeCamera;
using testsupport::FakeCameraNetwork;

// The English words a note has left once it is shown in Chinese; names and addresses it carries are
// not words of the note.
QStringList englishLeft(const QString& note) {
    static const QStringList kept{QStringLiteral("CAP_NET_ADMIN"),
                                  QStringLiteral("CAP_NET_RAW"),
                                  QStringLiteral("Flashwell"),
                                  QStringLiteral("flashwell"),
                                  QStringLiteral("root"),
                                  QStringLiteral("ARP"),
                                  QStringLiteral("ping"),
                                  QStringLiteral("net.ipv4.ping_group_range"),
                                  QStringLiteral("IP"),
                                  QStringLiteral("HOME")};
    QStringList left;
    static const QRegularExpression word(QStringLiteral(R"([A-Za-z_][A-Za-z0-9_.]+)"));
    for (auto it = word.globalMatch(note); it.hasNext();) {
        const QString w = it.next().captured();
        if (!kept.contains(w))
            left << w;
    }
    return left;
}

TEST(NotesTest, TheNoteLineSpeaksTheWindowsLanguage) {
    // Each as the controller words it; names, paths and addresses are carried over.
    const std::pair<const char*, const char*> notes[] = {
        {"Nothing was done: no camera is selected.", "未做任何操作：没有选定设备。"},
        {"The addresses of eth0 changed during the job (from 192.168.0.10/255.255.255.0 to "
         "192.168.0.11/255.255.255.0), not by Flashwell; they were left as they are.",
         "作业期间 eth0 的地址已被更改（从 192.168.0.10/255.255.255.0 改为 192.168.0.11/255.255.255.0），"
         "并非 Flashwell 所为；已保持原样。"},
        {"2 cameras were still rebooting at a link-local address when the job ended; the next start of Flashwell "
         "sends them home.",
         "作业结束时仍有 2 台设备在链路本地地址上重启；下次启动 Flashwell 时会将其送回原地址。"},
        {"Auto Change IP: the range 31~33 had no free address left for 1 camera at 192.168.0.20 (its end is never "
         "handed out).",
         "自动更新IP地址：范围 31~33 已无空闲地址，还有 1 台192.168.0.20的设备未更新（范围的最后一个地址不会分配）。"},
        {"At start-up: sent Lobby (02:fe:ff:00:00:01) from 169.254.7.9 back to 192.168.0.20, where an earlier job "
         "had to leave it",
         "启动时：已将 Lobby（02:fe:ff:00:00:01）从 169.254.7.9 送回 192.168.0.20，之前的作业未能将其送回"},
        {"12 of 200 done, 2 failed, about 4 min left", "已完成 12/200，失败 2，约剩 4 分钟"},
        {"3 of 3 done, 0 failed", "已完成 3/3，失败 0"},
        {"This job is not recorded: cannot create /nonexistent/jobs",
         "本次作业未被记录：cannot create /nonexistent/jobs"},
    };
    GuiFixture english(437);
    GuiFixture chinese(936);
    for (const auto& [text, expected] : notes) {
        english.window->ShowNote(text);
        chinese.window->ShowNote(text);
        EXPECT_EQ(english.window->NoteLine(), QString::fromUtf8(text));
        EXPECT_EQ(chinese.window->NoteLine(), QString::fromUtf8(expected));
    }
    // The start-up's notes come from the controller's own catalogue, so a change of their words shows here.
    for (const NetworkRights& rights :
         {NetworkRights{false, false}, NetworkRights{false, true}, NetworkRights{true, false}}) {
        const std::string rightsNote = MissingRightsNote(rights);
        chinese.window->ShowNote(rightsNote);
        EXPECT_EQ(englishLeft(chinese.window->NoteLine()), QStringList()) << chinese.window->NoteLine().toStdString();
        chinese.window->ShowNote(rightsNote +
                                 ". At start-up: removed the link-local route an earlier run had added on eth0");
        EXPECT_EQ(englishLeft(chinese.window->NoteLine()), QStringList{QStringLiteral("eth0")})
            << chinese.window->NoteLine().toStdString();
    }
    // A refusal reaches the note line through the controller, in Chinese too.
    chinese.Find<QPushButton>("buttonResetDefault")->click();
    // The refusal comes from the job's own thread: on a busy machine it takes a moment.
    QElapsedTimer waited;
    waited.start();
    while (chinese.window->NoteLine().isEmpty() && waited.elapsed() < 5000)
        GuiFixture::Settle();
    EXPECT_EQ(chinese.window->NoteLine(), "未做任何操作：没有选定设备。");
}

// With "Allow other models" on nothing in the window said so; the note line says it until it is off.
TEST(NotesTest, TheLiftedModelGuardStaysInTheNoteLine) {
    GuiFixture f(437);
    QAction* guard = f.Find<QAction>("actionAllowOtherModels");
    const QString lifted = QStringLiteral("Allow other models is on: upgrades flash cameras of every model");
    guard->trigger();
    EXPECT_TRUE(f.window->Controller().AllowOtherModels());
    EXPECT_EQ(f.window->NoteLine(), lifted);
    f.window->ShowNote("Nothing was done: no camera is selected.");
    GuiFixture::Settle();
    EXPECT_EQ(f.window->NoteLine(), lifted + "; Nothing was done: no camera is selected.");
    f.window->ShowNote("", NoteKind::Job); // a new job clears what the last one said
    GuiFixture::Settle();
    EXPECT_EQ(f.window->NoteLine(), lifted);
    EXPECT_EQ(f.Find<QLabel>("labelNote")->text(), lifted);
    guard->trigger();
    EXPECT_FALSE(f.window->Controller().AllowOtherModels());
    EXPECT_EQ(f.window->NoteLine(), "");

    GuiFixture chinese(936);
    chinese.Find<QAction>("actionAllowOtherModels")->trigger();
    EXPECT_EQ(chinese.window->NoteLine(), "“允许其他型号”已开启：升级时不检查设备型号");
}

// A "Model mismatch" row did not say which models differ.
TEST(NotesTest, AModelMismatchRowNamesBothModels) {
    QTemporaryDir dir;
    QByteArray image(4096, '\0');
    image.replace(24, 3, "123");
    image.replace(68, 7, "IPC1234");
    const QString path = dir.filePath(QStringLiteral("IPC1234_V1.23.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image);
    file.close();

    for (unsigned codePage : {437u, 936u}) {
        auto net = std::make_shared<FakeCameraNetwork>();
        FakeCamera other;
        other.name = "Garden";
        other.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 1};
        other.ip = {10, 0, 0, 1};
        other.model = "IPC5678";
        net->AddCamera(other);
        FakeCamera same = other;
        same.name = "Gate";
        same.mac[5] = 2;
        same.ip = {10, 0, 0, 2};
        same.queryAtHome = RequestResult::Unauthorized;
        net->AddCamera(same);
        MainWindowHooks hooks;
        hooks.chooseFile = [&](QWidget*, const QString&) { return std::optional(path.toStdString()); };
        GuiFixture f(codePage, hooks, net);
        f.AddCamera("Garden", other.ip, 1);
        f.AddCamera("Gate", same.ip, 2);
        f.Find<QPushButton>("buttonBrowse")->click();
        auto* list = f.Find<QTableView>("listDevices");
        list->selectAll();
        f.Find<QPushButton>("buttonUpgrade")->click();
        QElapsedTimer waited;
        waited.start();
        while (f.window->Controller().WorkflowRunning() && waited.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        f.window->Controller().JoinWorkers(true);
        GuiFixture::Settle();
        const QModelIndex garden = list->model()->index(0, StatusColumn);
        ASSERT_EQ(garden.data().toString(), "Model mismatch");
        EXPECT_EQ(garden.data(Qt::ToolTipRole).toString(), codePage == 936
                                                               ? QStringLiteral("设备型号 IPC5678，固件型号 IPC1234")
                                                               : QStringLiteral("camera IPC5678, image IPC1234"));
        EXPECT_EQ(net->Camera("Garden").uploads, 0);
        const QModelIndex gate = list->model()->index(1, StatusColumn);
        EXPECT_EQ(gate.data().toString(), "401 Unauthorized");
        EXPECT_FALSE(gate.data(Qt::ToolTipRole).isValid()) << "only a mismatch names models";
    }
}

} // namespace
