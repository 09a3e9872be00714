// A fleet's options against the fake camera network: cameras at once, the first wave, cameras
// already at the image's version, slow reboots, and how far the job is.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "tests/unit/WorkflowFixture.h"

namespace {

using namespace std::chrono_literals;

class FleetTest : public WorkflowTest {
protected:
    void Upgrade(const std::string& image, JobOptions options, UpgradeMode mode = UpgradeMode::Flash) {
        dlg->Jobs().SetOptions(options);
        window.SetFieldText(Field::FirmwarePath, image);
        SelectAll();
        Run(&CTarnDlg::OnStartUpgrade, mode);
    }
    std::vector<FakeCamera> Fleet(int n) {
        std::vector<FakeCamera> cameras;
        for (int i = 1; i <= n; ++i)
            cameras.push_back(Cam("C" + std::to_string(i), static_cast<std::uint8_t>(i),
                                  {192, 168, 0, static_cast<std::uint8_t>(20 + i)}));
        return cameras;
    }
    // Where in the network's log the camera's first upload and its last call stand.
    std::size_t FirstUpload(const std::string& name) {
        const auto calls = net->Calls("");
        const std::string host = "upload " + FormatIpv4(net->Camera(name).ip);
        return static_cast<std::size_t>(std::find(calls.begin(), calls.end(), host) - calls.begin());
    }
    std::size_t LastQuery(const std::string& name) {
        const auto calls = net->Calls("");
        const std::string host = "query " + FormatIpv4(net->Camera(name).ip);
        return static_cast<std::size_t>(calls.rend() - std::find(calls.rbegin(), calls.rend(), host)) - 1;
    }
};

// At most N upload at once, the rest wait in list order and say so; every camera still ends well.
TEST_F(FleetTest, CamerasAtOnceCapsTheUploadsInListOrder) {
    Start(Fleet(6));
    std::atomic<int> inFlight{0}, most{0}, held{0};
    std::mutex lock;
    std::vector<std::string> turns; // in the order the job gave them, as its own thread tells
    std::set<std::string> waited;
    dlg->Fleet().SetJobListener([&](const Target& camera, const JobEvent& event) {
        const auto* changed = std::get_if<event::CameraChanged>(&event);
        std::lock_guard guard(lock);
        if (changed && changed->view.phase == Phase::Uploading)
            turns.push_back(camera.displayName);
        if (changed && changed->view.phase == Phase::WaitingTurn)
            waited.insert(camera.displayName);
    });
    net->onUpload = [&](FakeCamera&) {
        const int now = ++inFlight;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        // The first two hold their turns until the other four have asked for theirs.
        if (++held <= 2)
            testsupport::WaitUntil(
                [&] {
                    std::lock_guard guard(lock);
                    return waited.size() == 4;
                },
                2s);
        std::this_thread::sleep_for(10ms);
        --inFlight;
    };
    JobOptions options;
    options.parallel = 2;
    Upgrade(WriteImage("106"), options);
    EXPECT_EQ(most.load(), 2) << "two at once, never more";
    for (const char* name : {"C1", "C2", "C3", "C4", "C5", "C6"})
        EXPECT_EQ(Outcome(name), OutcomeKind::Upgraded) << name;
    ASSERT_EQ(turns.size(), 6u);
    // Those that had to wait got their turns in list order, after the two that never showed the wait.
    EXPECT_EQ(waited.size(), 4u);
    const std::vector<std::string> later(turns.begin() + 2, turns.end());
    EXPECT_TRUE(std::is_sorted(later.begin(), later.end())) << testing::PrintToString(turns);
    for (const std::string& name : later)
        EXPECT_TRUE(waited.contains(name)) << name;
    EXPECT_EQ(Status("C6"), "UPGRADE SUCCESSFUL");
}

// The rest of the fleet gets the image only once the whole first wave upgraded; one failure in it
// and the rest are not flashed at all, and say why.
TEST_F(FleetTest, AFirstWaveGatesTheRestOfTheFleet) {
    auto cameras = Fleet(4);
    Start(cameras);
    JobOptions options;
    options.firstWave = 2;
    Upgrade(WriteImage("106"), options);
    for (const char* name : {"C1", "C2", "C3", "C4"})
        EXPECT_EQ(Outcome(name), OutcomeKind::Upgraded) << name;
    EXPECT_GT(FirstUpload("C3"), LastQuery("C1")) << "after the first wave was seen running the image";
    // With every slot free, "Waiting for its turn to upload" misled: they waited for the first wave.
    for (const char* name : {"C3", "C4"}) {
        const auto views = Views(name);
        EXPECT_NE(std::find(views.begin(), views.end(), CameraView{Phase::WaitingWave, 0}), views.end()) << name;
        EXPECT_EQ(std::find(views.begin(), views.end(), CameraView{Phase::WaitingTurn, 0}), views.end()) << name;
    }
    EXPECT_EQ(Status::Of(CameraView{Phase::WaitingWave, 0})->text, "Waiting for the first wave");
    EXPECT_GT(FirstUpload("C4"), LastQuery("C2"));

    net->Camera("C2").upload = RequestResult::NoReply;
    net->Camera("C2").uploadUnanswered = false;
    for (const char* name : {"C1", "C2", "C3", "C4"})
        net->Camera(name).uploads = 0;
    Upgrade(WriteImage("107"), options);
    EXPECT_EQ(Outcome("C1"), OutcomeKind::Upgraded);
    EXPECT_EQ(Outcome("C2"), OutcomeKind::UploadFailed);
    for (const char* name : {"C3", "C4"}) {
        EXPECT_EQ(Outcome(name), OutcomeKind::FirstWaveFailed) << name;
        EXPECT_EQ(Status(name), "Not flashed: the first wave failed");
        EXPECT_TRUE(Failed(name));
        EXPECT_EQ(net->Camera(name).uploads, 0) << name << " got no image";
        EXPECT_EQ(Ended(name).versionBefore, "V1.06") << "it was asked, so its record says what it runs";
    }
    // Only "Not flashed" said what happened: nothing named the camera that held the fleet.
    const auto held = window.Calls("Note The first wave failed");
    ASSERT_EQ(held.size(), 1u) << testing::PrintToString(window.Calls("Note"));
    EXPECT_NE(held[0].find("C2 (02:00:00:00:00:02) ended \"Failed to upgrade!\""), std::string::npos) << held[0];
    EXPECT_EQ(held[0].find("C1 ("), std::string::npos) << "C1 passed";
}

TEST_F(FleetTest, CamerasAtTheImagesVersionAreLeftAsTheyAre) {
    auto cameras = Fleet(2);
    cameras[0].version = "V1.06";
    Start(cameras);
    JobOptions options;
    options.skipCurrent = true;
    Upgrade(WriteImage("106"), options, UpgradeMode::DryRun);
    EXPECT_EQ(Outcome("C1"), OutcomeKind::AlreadyCurrent);
    EXPECT_EQ(Outcome("C2"), OutcomeKind::WouldFlash);
    Upgrade(WriteImage("106"), options);
    EXPECT_EQ(Outcome("C1"), OutcomeKind::AlreadyCurrent);
    EXPECT_EQ(Status("C1"), "Already at V1.06");
    EXPECT_FALSE(Failed("C1"));
    EXPECT_EQ(net->Camera("C1").uploads, 0);
    EXPECT_EQ(Outcome("C2"), OutcomeKind::Upgraded);

    options.skipCurrent = false;
    Upgrade(WriteImage("106"), options);
    EXPECT_EQ(net->Camera("C1").uploads, 1) << "without the option it is flashed as before";
}

// A camera that takes longer than the countdown to come back is asked again until its deadline,
// and only then is it silent for good.
TEST_F(FleetTest, ASlowRebootIsWaitedForUntilItsDeadline) {
    auto cameras = Fleet(1);
    cameras[0].silentQueriesAfterUpload = 12;
    Start(cameras);
    Upgrade(WriteImage("106"), JobOptions{});
    EXPECT_EQ(Outcome("C1"), OutcomeKind::Upgraded);
    const auto views = Views("C1");
    EXPECT_TRUE(std::any_of(views.begin(), views.end(),
                            [](const CameraView& v) { return v.phase == Phase::AwaitingReturn && v.count > 0; }));
    const auto history = History("C1");
    EXPECT_TRUE(std::any_of(history.begin(), history.end(), [](const std::string& s) {
        return s.starts_with("No answer since the reboot, asking again: ");
    }));

    net->Camera("C1").silentQueriesAfterUpload = 12;
    net->Camera("C1").uploads = 0;
    JobOptions impatient;
    impatient.rebootTimeout = Clock::Milliseconds(0);
    Upgrade(WriteImage("107"), impatient);
    EXPECT_EQ(Outcome("C1"), OutcomeKind::NoAnswerAfterReboot) << "no time after the countdown: one round only";
}

TEST_F(FleetTest, TheProgressLineCountsWhatIsDoneAndFailed) {
    auto cameras = Fleet(3);
    cameras[2].queryAtHome = cameras[2].queryWhenMoved = RequestResult::Unauthorized;
    Start(cameras);
    window.ClearCalls();
    Upgrade(WriteImage("106"), JobOptions{});
    EXPECT_EQ(dlg->Fleet().ProgressText(), "3 of 3 done, 1 failed");
    const auto notes = window.Calls("Note ");
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](const std::string& n) {
        return n.starts_with("Note 1 of 3 done, 1 failed");
    })) << "the line follows the job as cameras end";
}

// The estimate from the phases the cameras went through so far; nothing where nothing is known.
TEST(JobProgressTest, EstimatesFromWhatTheFinishedCamerasTook) {
    using Moment = JobProgress::Moment;
    const Moment t0{};
    JobProgress progress;
    progress.Begin(3, 1, t0);
    const Mac a{2, 0, 0, 0, 0, 1}, b{2, 0, 0, 0, 0, 2};
    progress.On(a, event::CameraStarted{}, t0);
    progress.On(a, event::CameraChanged{{Phase::Querying, 0}}, t0);
    EXPECT_EQ(progress.Said(t0 + 5s).English(), "0 of 3 done, 0 failed") << "no camera has finished: no guess";
    progress.On(a, event::CameraEnded{CameraOutcome(OutcomeKind::VersionRead)}, t0 + 10s);
    progress.On(b, event::CameraStarted{}, t0 + 10s);
    progress.On(b, event::CameraChanged{{Phase::Querying, 0}}, t0 + 10s);
    // b has 10 s of its own ahead at 14 s, and one more camera of 10 s follows it.
    EXPECT_EQ(progress.Left(t0 + 14s), std::chrono::seconds(16));
    EXPECT_EQ(progress.Said(t0 + 14s).English(), "1 of 3 done, 0 failed, about 16 s left");
    progress.On(b, event::CameraEnded{CameraOutcome(OutcomeKind::CheckOffline)}, t0 + 20s);
    EXPECT_EQ(progress.Failed(), 1u);

    // A countdown tells its own pace: 30 of 60 seconds gone in 3 s leaves 3 s of it.
    JobProgress reboot;
    reboot.Begin(2, 0, t0);
    reboot.On(a, event::CameraStarted{}, t0);
    reboot.On(b, event::CameraStarted{}, t0);
    reboot.On(a, event::CameraEnded{CameraOutcome(OutcomeKind::Unauthorized)}, t0 + 1s);
    reboot.On(b, event::CameraChanged{{Phase::Rebooting, 60}}, t0 + 10s);
    reboot.On(b, event::CameraChanged{{Phase::Rebooting, 30}}, t0 + 13s);
    EXPECT_EQ(reboot.Left(t0 + 13s), std::chrono::seconds(3));
    EXPECT_EQ(TimeLeftText(std::chrono::seconds(250)), "about 4 min left");
}

} // namespace
