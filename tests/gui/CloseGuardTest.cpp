// Closing the window while a job runs: the operator is asked, the cameras that can hear it are
// sent home, and what only the journal keeps is said before the window goes.
#include <QApplication>
#include <QTableView>
#include <gtest/gtest.h>

#include "tests/support/FakeCameraNetwork.h"
#include "tests/support/TestSupport.h"
#include "window/MainWindow.h"

namespace {

using namespace std::chrono_literals;

// Cameras closed on mid-job were left at 169.254.x.y, back from their reboot for 12 s, unasked.
TEST(CloseGuardTest, ClosingDuringAJobAsksThenSendsHomeAndSaysWhatIsLeft) {
    testsupport::ScratchDir scratch;
    auto net = std::make_shared<testsupport::FakeCameraNetwork>();
    testsupport::FakeCamera burner;
    burner.name = "Burner";
    burner.mac = {2, 0, 0, 0, 0, 1};
    burner.ip = {192, 168, 0, 41};
    burner.queryAtHome = RequestResult::ReplyWithoutContent; // asked at a link-local address
    burner.burnTime = "600";
    net->AddCamera(burner);
    net->adapterConfig = AdapterConfig{2, false, {"192.168.0.10"}, {"255.255.255.0"}, {}};

    MainWindowHooks hooks;
    hooks.platform = testsupport::FakeBenchPlatform(net, scratch.path());
    std::vector<std::string> questions, reports;
    std::vector<bool> answers = {false, true};
    hooks.confirmClose = [&](QWidget*, const std::string& question) {
        questions.push_back(question);
        return answers[std::min(questions.size(), answers.size()) - 1];
    };
    hooks.reportAway = [&](QWidget*, const std::string& text) { reports.push_back(text); };

    Clock clock(0.01, 0.05);
    auto window = std::make_unique<MainWindow>(clock, std::move(hooks));
    CTarnDlg& c = window->Controller();
    net->SetReplySink([&c](std::span<const std::uint8_t> reply) { c.Discovery().Intake()->Take(reply); });
    c.OnInitDialog();
    window->show();
    ASSERT_EQ(c.Discovery().List().GetItemCount(), 1);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(); // the view takes the row the search listed
    window->SetFieldText(Field::FirmwarePath, testsupport::WriteFirmwareImage(scratch.path(), "106", 4096));
    window->findChild<QTableView*>(QStringLiteral("listDevices"))->selectAll();
    c.OnStartUpgrade(window->Inputs());
    auto burning = [&] {
        QApplication::processEvents();
        return c.Fleet().RunningPhases().count(Phase::Burning) > 0;
    };
    ASSERT_TRUE(testsupport::WaitUntil(burning, 20s)) << c.Jobs().LastRefusal();

    window->close();
    QApplication::processEvents();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("1 burning the image"), std::string::npos) << questions[0];
    EXPECT_TRUE(window->isVisible()) << "No keeps the window and the job";
    EXPECT_TRUE(c.Jobs().Threads().AnyRunning());

    window->close();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            QApplication::processEvents();
            return !window->isVisible();
        },
        20s));
    EXPECT_EQ(questions.size(), 2u);
    ASSERT_EQ(reports.size(), 1u) << "a burning camera is left to the journal, and the operator is told";
    EXPECT_NE(reports[0].find("Burner (02:00:00:00:00:01) at 169.254."), std::string::npos) << reports[0];
    window.reset();
}

} // namespace
