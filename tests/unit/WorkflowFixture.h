#pragma once

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/TarnDlg.h"
#include "tests/support/FakeCameraNetwork.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/TestSupport.h"

using testsupport::Field;

// A controller over the fake camera network and a fast clock (a 60-second countdown takes 6 ms):
// the workflows run for real, without root, sockets or namespaces.
class WorkflowTest : public ::testing::Test {
protected:
    using FakeCamera = testsupport::FakeCamera;

    static FakeCamera Cam(const std::string& name, std::uint8_t macLast, Ipv4 ip) {
        FakeCamera c;
        c.name = name;
        c.mac = {0x02, 0x00, 0x00, 0x00, 0x00, macLast};
        c.ip = ip;
        return c;
    }

    // Every worker is joined before the history the listener writes goes.
    void TearDown() override { dlg.reset(); }

    // Lists the cameras through a search, as at start-up.
    void Start(const std::vector<FakeCamera>& cameras, double scale = 1e-4) {
        for (const FakeCamera& c : cameras)
            net->AddCamera(c);
        net->adapterConfig = AdapterConfig{2, false, {"192.168.0.10"}, {"255.255.255.0"}, {"192.168.0.1"}};
        net->pingable.insert("192.168.0.1");
        clock = std::make_unique<Clock>(scale, replyScale);
        ControllerPlatform platform = testsupport::FakeBenchPlatform(net, m_scratch.path());
        platform.threadLimit = threadLimit;
        dlg = std::make_unique<CTarnDlg>(window, *clock, platform);
        net->SetReplySink([this](std::span<const std::uint8_t> reply) { dlg->Discovery().Intake()->Take(reply); });
        dlg->Discovery().List().SetListener([this](ListModel::Change change, int row) {
            if (change != ListModel::Change::RowChanged)
                return;
            // A change of the failed mark or another cell repeats the Status text: keep changes only.
            std::string text = dlg->Discovery().List().GetItemText(row, StatusColumn);
            std::lock_guard guard(m_historyLock);
            auto& seen = m_history[row];
            if (seen.empty() ? !text.empty() : seen.back() != text)
                seen.push_back(text);
        });
        dlg->Fleet().SetJobListener([this](const Target& camera, const JobEvent& event) {
            std::lock_guard guard(m_historyLock);
            if (const auto* changed = std::get_if<event::CameraChanged>(&event))
                m_views[camera.mac].push_back(changed->view);
        });
        dlg->OnInitDialog();
        // Cameras an earlier run left away are sent home first, by a job of their own.
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !dlg->Jobs().Threads().AnyRunning() && !dlg->IsBusy(); },
                                           std::chrono::seconds(20)));
        dlg->Jobs().Threads().JoinAll();
        ASSERT_GE(dlg->Discovery().List().GetItemCount(), static_cast<int>(cameras.size()));
    }

    // What the window's boxes and selection hand a press; a check asks every listed camera.
    JobInputs Inputs(bool everyListed = false) const { return window.Inputs(dlg->Discovery().List(), everyListed); }
    // Presses a workflow button and waits until the job has ended and every thread is joined.
    void Run(void (CTarnDlg::*press)(const JobInputs&), std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        RunPress([&] { (dlg.get()->*press)(Inputs(press == &CTarnDlg::OnCheckVersion)); }, limit);
    }
    void Run(void (CTarnDlg::*press)(const JobInputs&, UpgradeMode), UpgradeMode mode = UpgradeMode::Flash,
             std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        RunPress([&] { (dlg.get()->*press)(Inputs(), mode); }, limit);
    }
    void Run(void (CTarnDlg::*press)(const JobInputs&, const CTarnDlg::ConfirmPlan&),
             std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        RunPress([&] { (dlg.get()->*press)(Inputs(), {}); }, limit);
    }
    void RunPress(const std::function<void()>& press, std::chrono::milliseconds limit) {
        {
            std::lock_guard guard(m_historyLock);
            m_history.clear();
            m_views.clear();
        }
        press();
        ASSERT_TRUE(
            testsupport::WaitUntil([&] { return !dlg->Jobs().Threads().AnyRunning() && !dlg->IsBusy(); }, limit))
            << "the job did not end";
        dlg->Jobs().Threads().JoinAll();
    }

    void SelectAll() {
        std::vector<int> rows;
        for (int r = 0; r < dlg->Discovery().List().GetItemCount(); ++r)
            rows.push_back(r);
        window.Select(rows);
    }

    int RowOf(const std::string& name) const {
        auto rows = dlg->Discovery().List().Rows();
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (CellText(rows[r], 1) == name)
                return static_cast<int>(r);
        ADD_FAILURE() << "no row " << name;
        return -1;
    }
    std::string Status(const std::string& name) const {
        return dlg->Discovery().List().GetItemText(RowOf(name), StatusColumn);
    }
    // How the camera's work in the last job ended.
    OutcomeKind Outcome(const std::string& name) { return Ended(name).kind; }
    CameraOutcome Ended(const std::string& name) {
        return dlg->Fleet().Outcome(net->Camera(name).mac).value_or(CameraOutcome());
    }
    bool Failed(const std::string& name) const { return dlg->Discovery().IsFailed(RowOf(name)); }
    // Every phase the camera went through in the last job, in order, with its count.
    std::vector<CameraView> Views(const std::string& name) {
        const Mac mac = net->Camera(name).mac;
        std::lock_guard guard(m_historyLock);
        return m_views[mac];
    }
    // The phase it is in now (while a job runs).
    Phase PhaseOf(const std::string& name) {
        auto views = Views(name);
        return views.empty() ? Phase::Queued : views.back().phase;
    }
    // Every Status text the row showed during the last job, in order, repeats folded.
    std::vector<std::string> History(const std::string& name) {
        int row = RowOf(name);
        std::lock_guard guard(m_historyLock);
        return m_history[row];
    }

    // An image whose header carries the version digits and the model.
    std::string WriteImage(const std::string& digits = "105", std::size_t size = 4096,
                           const std::string& model = "IPC1234") {
        return testsupport::WriteFirmwareImage(m_scratch.path(), digits, size, model);
    }

    // The journal of pending restores, as a later start would read it.
    RestoreJournal::Contents Journal() {
        std::string problem;
        auto contents = RestoreJournal(m_scratch.path() + "/state").Read(problem);
        EXPECT_EQ(problem, "");
        return contents;
    }
    std::string StateFolder() const { return m_scratch.path() + "/state"; }
    std::string RecordsFolder() const { return m_scratch.path() + "/jobs"; }
    // The lines of the only file of job records, each parsed.
    std::vector<nlohmann::json> RecordFile() {
        std::vector<nlohmann::json> lines;
        auto files = testsupport::ListFolder(RecordsFolder());
        EXPECT_EQ(files.size(), 1u);
        if (files.empty())
            return lines;
        std::ifstream in(RecordsFolder() + "/" + files.front());
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }

    std::size_t threadLimit = 0;
    // How the clock scales a wait for a camera's reply: a one-second window lasts 50 ms, long
    // enough for the fake network's replies, short enough for a camera that is never seen. The
    // binaries never scale it.
    double replyScale = 0.05;
    testsupport::FakeWindow window;
    std::shared_ptr<testsupport::FakeCameraNetwork> net = std::make_shared<testsupport::FakeCameraNetwork>();
    std::unique_ptr<Clock> clock;
    std::unique_ptr<CTarnDlg> dlg;

private:
    testsupport::ScratchDir m_scratch;
    std::mutex m_historyLock;
    std::map<int, std::vector<std::string>> m_history;
    std::map<Mac, std::vector<CameraView>> m_views;
};
