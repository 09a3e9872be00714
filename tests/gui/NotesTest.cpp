// The line under the list and the list's tool tips: in the window's language, and true.
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/StatusTexts.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeCameraNetwork.h"
#include "window/AboutDialog.h"
#include "window/CredentialsDialog.h"
#include "window/JournalDialog.h"

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
                                  QStringLiteral("HOME"),
                                  QStringLiteral("MAC"),
                                  QStringLiteral("v2.0"),       // the original tool's version
                                  QStringLiteral("github.com"), // the project's address
                                  QStringLiteral("admin")};     // a login, as the cameras know it
    QStringList left;
    static const QRegularExpression word(QStringLiteral(R"([A-Za-z_][A-Za-z0-9_.]+)"));
    for (auto it = word.globalMatch(note); it.hasNext();) {
        QString w = it.next().captured();
        while (w.endsWith(QLatin1Char('.')))
            w.chop(1);
        if (!kept.contains(w))
            left << w;
    }
    return left;
}

TEST(NotesTest, TheNoteLineSpeaksTheWindowsLanguage) {
    // Each as the controller words it; names, paths and addresses are carried over untranslated.
    const std::pair<Text, const char*> notes[] = {
        {Note("Nothing was done: %1.", {Note("no camera is selected")}), "未做任何操作：没有选定设备。"},
        {Note("The addresses of %1 changed during the job (from %2 to %3), not by Flashwell; they were left as "
              "they are",
              {"eth0", "192.168.0.10/255.255.255.0", "192.168.0.11/255.255.255.0"}),
         "作业期间 eth0 的地址已被更改（从 192.168.0.10/255.255.255.0 改为 192.168.0.11/255.255.255.0），"
         "并非 Flashwell 所为；已保持原样"},
        {Note("At start-up: %1",
              {Note("sent %1 from %2 back to %3, where an earlier job had to leave it",
                    {Note("%1 (%2)", {"Lobby", "02:fe:ff:00:00:01"}), "169.254.7.9", "192.168.0.20"})}),
         "启动时：已将 Lobby（02:fe:ff:00:00:01）从 169.254.7.9 送回 192.168.0.20，之前的作业未能将其送回"},
        {Note("%1 of %2 done, %3 failed, %4", {"12", "200", "2", Note("about %1 min left", {"4"})}),
         "已完成 12/200，失败 2，约剩 4 分钟"},
        {Note("%1 of %2 done, %3 failed", {"3", "3", "0"}), "已完成 3/3，失败 0"},
        {Note("This job is not recorded: %1", {"cannot create /nonexistent/jobs"}),
         "本次作业未被记录：cannot create /nonexistent/jobs"},
    };
    {
        GuiFixture english(437);
        for (const auto& [text, expected] : notes) {
            english.window->ShowNote(text, NoteKind::Job);
            EXPECT_EQ(english.window->NoteLine(), QString::fromStdString(text.English()));
        }
    }
    GuiFixture chinese(936);
    for (const auto& [text, expected] : notes) {
        chinese.window->ShowNote(text, NoteKind::Job);
        EXPECT_EQ(chinese.window->NoteLine(), QString::fromUtf8(expected)) << text.English();
    }
    // The start-up's notes, alone and with what the start-up did after them.
    for (const NetworkRights& rights :
         {NetworkRights{false, false}, NetworkRights{false, true}, NetworkRights{true, false}}) {
        const Text rightsNote = MissingRightsNote(rights);
        chinese.window->ShowNote(rightsNote, NoteKind::StartUp);
        EXPECT_EQ(englishLeft(chinese.window->NoteLine()), QStringList()) << chinese.window->NoteLine().toStdString();
        chinese.window->ShowNote(
            Note("%1. %2", {rightsNote, Note("At start-up: %1", {Note("removed the link-local route an earlier run "
                                                                      "had added on %1",
                                                                      {"eth0"})})}),
            NoteKind::StartUp);
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

// The Chinese window had English left in it: "Network Card", the menu, the controller's message boxes.
TEST(NotesTest, NoEnglishIsLeftInTheChineseWindow) {
    GuiFixture f(936);
    f.AddCamera("Lobby", {192, 168, 0, 20}, 1);
    QStringList shown{f.window->windowTitle()};
    auto collect = [&shown](const QWidget& top) {
        for (const QLabel* label : top.findChildren<QLabel*>())
            shown << label->text();
        for (const QAbstractButton* button : top.findChildren<QAbstractButton*>())
            shown << button->text();
        for (const QWidget* widget : top.findChildren<QWidget*>())
            shown << widget->toolTip();
        for (const QAction* action : top.findChildren<QAction*>())
            shown << action->text() << action->toolTip();
    };
    collect(*f.window);
    const auto* model = f.Find<QTableView>("listDevices")->model();
    for (int c = 0; c < model->columnCount(); ++c)
        shown << model->headerData(c, Qt::Horizontal).toString();
    collect(CredentialsDialog(StoredLogin{"admin", "bzfhk"}, f.window.get()));
    collect(AboutDialog(nullptr, f.window.get()));
    collect(JournalDialog(f.window->Controller(), f.window.get()));
    // A message box of the controller's own: the range it cannot hand out.
    f.Find<QTableView>("listDevices")->selectAll();
    f.Find<QLineEdit>("editRangeStart")->setText(QStringLiteral("250"));
    f.Find<QLineEdit>("editRangeEnd")->setText(QStringLiteral("31"));
    f.Find<QPushButton>("buttonAutoChangeIp")->click();
    QElapsedTimer waited;
    waited.start();
    QMessageBox* box = nullptr;
    while (!(box = f.window->findChild<QMessageBox*>(QStringLiteral("messageBox"))) && waited.elapsed() < 5000)
        GuiFixture::Settle();
    ASSERT_NE(box, nullptr);
    shown << box->windowTitle() << box->text();
    shown << f.window->NoteLine();
    for (const QString& text : shown)
        EXPECT_EQ(englishLeft(text), QStringList()) << text.toStdString();
}

// With "Allow other models" on nothing in the window said so; the note line says it until it is off.
TEST(NotesTest, TheLiftedModelGuardStaysInTheNoteLine) {
    GuiFixture f(437);
    QAction* guard = f.Find<QAction>("actionAllowOtherModels");
    const QString lifted = QStringLiteral("Allow other models is on: upgrades flash cameras of every model");
    guard->trigger();
    EXPECT_TRUE(f.window->Controller().Jobs().Options().allowOtherModels);
    EXPECT_EQ(f.window->NoteLine(), lifted);
    f.window->ShowNote(Text("Nothing was done: no camera is selected."), NoteKind::Refusal);
    GuiFixture::Settle();
    EXPECT_EQ(f.window->NoteLine(), lifted + "; Nothing was done: no camera is selected.");
    f.window->ShowNote(Text(), NoteKind::Job); // a new job clears what the last one said
    GuiFixture::Settle();
    EXPECT_EQ(f.window->NoteLine(), lifted);
    EXPECT_EQ(f.Find<QLabel>("labelNote")->text(), lifted);
    guard->trigger();
    EXPECT_FALSE(f.window->Controller().Jobs().Options().allowOtherModels);
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
        while (f.window->Controller().Jobs().Threads().AnyRunning() && waited.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        f.window->Controller().Jobs().Threads().JoinAll();
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
