// The fleet's rules stepped on the job itself, with a clock of the test's own: turns, the first
// wave, a stop and a time-out, without a thread, a network or a sleep.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Job.h"
#include "engine/Workflows.h"
#include "tests/unit/MachineDriver.h"

namespace {

using namespace std::chrono_literals;

// A fleet of cameras at addresses of their own (no detours), its calls answered by scripts.
struct Fleet {
    explicit Fleet(Workflow workflow, std::size_t cameras, JobOptions options = {}) {
        auto request = std::make_shared<JobRequest>();
        request->workflow = workflow;
        request->options = options;
        auto image = std::make_shared<FirmwareImage>();
        image->header = {"IPC1234", "V1.06"};
        request->image = image;
        for (std::size_t c = 0; c < cameras; ++c) {
            Target t = MakeTarget({192, 168, 0, static_cast<std::uint8_t>(21 + c)}, static_cast<std::uint8_t>(c + 1));
            t.displayName = "C" + std::to_string(c);
            t.row = static_cast<int>(c);
            request->targets.push_back(t);
        }
        job = std::make_unique<Job>(request, clock, [this](const Target& camera, const JobEvent& event) {
            if (const auto* changed = std::get_if<event::CameraChanged>(&event))
                phases[camera.displayName].insert(changed->view.phase);
            if (const auto* ended = std::get_if<event::CameraEnded>(&event))
                outcomes[camera.displayName] = ended->outcome.kind;
        });
        job->Begin(now);
    }

    // One round: the job's upkeep, then every call answered that the script does not hold back;
    // with nothing answered the clock jumps to the job's next wait.
    void Tick() {
        Job::Work work = job->Upkeep(now);
        searches += work.search ? 1 : 0;
        for (Job::Call& call : work.calls)
            pending.push_back(call);
        uploadsAtOnce = std::max(uploadsAtOnce, count<step::Upload>());
        std::vector<Job::Call> held, due;
        for (const Job::Call& call : pending)
            (hold && hold(call) ? held : due).push_back(call);
        pending = held;
        for (const Job::Call& call : due)
            job->Feed(call.camera, answer(call), now);
        if (due.empty())
            now = job->NextDue().value_or(now + 10ms);
    }
    void Run(int bound = 100000) {
        for (int round = 0; !job->Done() && round < bound; ++round)
            Tick();
        ASSERT_TRUE(job->Done()) << "the fleet did not end";
    }
    template <typename Step> std::size_t count() const {
        std::size_t n = 0;
        for (const Job::Call& call : pending)
            n += std::holds_alternative<Step>(call.action) ? 1 : 0;
        return n;
    }

    Input answer(const Job::Call& call) {
        const std::string name = call.machine->Camera().displayName;
        if (std::holds_alternative<step::Query>(call.action)) {
            ++queries[name];
            return query(call);
        }
        if (std::holds_alternative<step::Upload>(call.action)) {
            ++uploads[name];
            return upload(call);
        }
        if (std::holds_alternative<step::Reset>(call.action))
            return reset(call);
        return input::Sent{};
    }

    Clock clock{1.0};
    Job::Moment now{};
    std::unique_ptr<Job> job;
    std::vector<Job::Call> pending;
    std::function<bool(const Job::Call&)> hold;
    // A camera at V1.05 that runs what it was given once it took an upload.
    std::function<input::Queried(const Job::Call&)> query = [this](const Job::Call& call) {
        return MachineDriver::ModelAndVersion("IPC1234",
                                              uploads[call.machine->Camera().displayName] ? "V1.06" : "V1.05");
    };
    std::function<input::UploadAnswered(const Job::Call&)> upload = [](const Job::Call&) {
        return MachineDriver::Accepted("10");
    };
    std::function<input::ResetAnswered(const Job::Call&)> reset = [](const Job::Call&) {
        input::ResetAnswered a;
        a.result = RequestResult::ReplyWithoutContent;
        return a;
    };
    std::map<std::string, int> queries, uploads;
    std::map<std::string, std::set<Phase>> phases;
    std::map<std::string, OutcomeKind> outcomes;
    std::size_t uploadsAtOnce = 0;
    int searches = 0;
};

TEST(JobTest, UploadsTakeTurnsInListOrderAndTheFirstWaveGatesTheRest) {
    {
        JobOptions options;
        options.parallel = 2;
        Fleet f(Workflow::Upgrade, 4, options);
        std::vector<std::string> order;
        // Each upload stays on the wire for a round, so the turns it holds can be seen.
        std::set<const CameraMachine*> seen;
        f.hold = [&](const Job::Call& call) {
            if (!std::holds_alternative<step::Upload>(call.action))
                return false;
            if (seen.insert(call.machine).second) {
                order.push_back(call.machine->Camera().displayName);
                return true;
            }
            return false;
        };
        f.Run();
        EXPECT_EQ(f.uploadsAtOnce, 2u);
        EXPECT_EQ(order, (std::vector<std::string>{"C0", "C1", "C2", "C3"}));
        EXPECT_TRUE(f.phases["C3"].contains(Phase::WaitingTurn)) << "the rest were told they wait for a turn";
        for (const char* name : {"C0", "C1", "C2", "C3"}) {
            EXPECT_EQ(f.uploads[name], 1) << name;
            EXPECT_EQ(f.outcomes[name], OutcomeKind::Upgraded) << name;
        }
    }
    {
        JobOptions options;
        options.firstWave = 1;
        Fleet f(Workflow::Upgrade, 3, options);
        f.upload = [](const Job::Call&) { return input::UploadAnswered{}; }; // the wave's camera never takes it
        f.Run();
        EXPECT_GE(f.uploads["C0"], 1);
        EXPECT_EQ(f.uploads["C1"] + f.uploads["C2"], 0) << "nothing reaches the rest of the fleet";
        EXPECT_TRUE(f.phases["C2"].contains(Phase::WaitingWave));
        EXPECT_FALSE(f.phases["C2"].contains(Phase::Uploading));
        EXPECT_EQ(f.outcomes["C0"], OutcomeKind::UploadFailed);
        EXPECT_EQ(f.outcomes["C1"], OutcomeKind::FirstWaveFailed);
        EXPECT_EQ(f.outcomes["C2"], OutcomeKind::FirstWaveFailed);
    }
}

// A stop lets the camera at work end on its stopping path and starts no other; a camera that is
// never seen back after a reset is given up when its bound has passed, not before.
TEST(JobTest, AStopStartsNothingMoreAndAnUnseenResetEndsAtItsBound) {
    {
        Fleet f(Workflow::CheckVersion, 3); // one camera after another
        f.hold = [&](const Job::Call& call) { return call.machine->Camera().displayName == "C1"; };
        for (int round = 0; round < 50 && f.pending.empty(); ++round)
            f.Tick();
        ASSERT_EQ(f.pending.size(), 1u) << "C1's query is on the wire";
        f.job->Stop(f.now);
        f.hold = nullptr;
        f.Run();
        EXPECT_EQ(f.queries["C0"], 1);
        EXPECT_EQ(f.queries["C2"], 0) << "nothing is sent to a camera after the stop";
        EXPECT_EQ(f.outcomes["C0"], OutcomeKind::VersionRead);
        EXPECT_EQ(f.outcomes["C2"], OutcomeKind::NotStarted);
    }
    {
        JobOptions options;
        options.rebootTimeout = Clock::Milliseconds(30000);
        Fleet f(Workflow::Reset, 1, options);
        const Job::Moment began = f.now;
        f.Run();
        const auto took = f.now - began;
        // The reboot's countdown of 60 s, then 30 s of asking again.
        EXPECT_GE(took, 90s);
        EXPECT_LT(took, 100s);
        EXPECT_GT(f.searches, 5) << "it was looked for while the bound ran";
        EXPECT_EQ(f.outcomes["C0"], OutcomeKind::NoAnswerAfterReboot);
        EXPECT_TRUE(f.phases["C0"].contains(Phase::AwaitingReturn));
    }
}

// A workflow without its row would silently take the first row's machine and name.
TEST(JobTest, EveryWorkflowHasARowOfItsOwn) {
    std::set<std::string> names;
    for (Workflow w :
         {Workflow::Upgrade, Workflow::CheckVersion, Workflow::Reset, Workflow::AutoIp, Workflow::Homecoming}) {
        EXPECT_EQ(TraitsOf(w).workflow, w);
        names.insert(TraitsOf(w).name);
    }
    EXPECT_EQ(names.size(), 5u);
}

} // namespace
