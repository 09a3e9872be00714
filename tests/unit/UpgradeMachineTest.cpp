// One camera's upgrade stepped through every ending with scripted answers: no thread, no network.
#include <algorithm>

#include "app/StatusTexts.h"
#include "engine/UpgradeMachine.h"
#include "tests/unit/MachineDriver.h"

namespace {

std::shared_ptr<const FirmwareImage> image(const char* model = "IPC1234", const char* version = "V1.06") {
    auto i = std::make_shared<FirmwareImage>();
    i->header = {model, version};
    return i;
}

// A camera that answers with V1.05 and then, after its reboot, with what it was given.
void healthy(MachineDriver& d, const char* after = "V1.06") {
    d.query = [&d, after](const step::Query&) {
        return MachineDriver::ModelAndVersion("IPC1234", d.Count("upload") ? after : "V1.05");
    };
    d.upload = [](const step::Upload&) { return MachineDriver::Accepted("12.5"); };
}

TEST(UpgradeMachineTest, AHealthyCameraGoesThroughEveryPhaseInTurn) {
    MachineDriver d;
    healthy(d);
    UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
    const CameraOutcome& o = d.Run(m);
    EXPECT_EQ(o.kind, OutcomeKind::Upgraded);
    EXPECT_EQ(o.model, "IPC1234");
    EXPECT_EQ(o.versionBefore, "V1.05");
    EXPECT_EQ(o.versionAfter, "V1.06");
    EXPECT_EQ(o.ipAfter, "192.168.0.21");
    EXPECT_FALSE(o.leftAt);
    EXPECT_EQ(d.Phases(), (std::vector<Phase>{Phase::Querying, Phase::Uploading, Phase::Uploaded, Phase::Burning,
                                              Phase::Rebooting, Phase::Verifying, Phase::Done}));
    EXPECT_EQ(d.Calls(), (std::vector<std::string>{"query 192.168.0.21", "upload 192.168.0.21", "query 192.168.0.21"}));
    // 500 ms after the upload, 101 burn steps of a hundredth of 12.5 s, then 60 s counted down.
    EXPECT_EQ(d.Count("wait 500"), 1);
    EXPECT_EQ(d.Count("wait 125"), 101);
    EXPECT_EQ(d.Count("wait 1000"), 60);
    std::vector<int> percents, seconds;
    for (const CameraView& v : d.views) {
        if (v.phase == Phase::Burning)
            percents.push_back(v.count);
        if (v.phase == Phase::Rebooting)
            seconds.push_back(v.count);
    }
    ASSERT_EQ(percents.size(), 101u);
    EXPECT_TRUE(percents.front() == 0 && percents.back() == 100);
    ASSERT_EQ(seconds.size(), 60u);
    EXPECT_TRUE(seconds.front() == 60 && seconds.back() == 1);
}

TEST(UpgradeMachineTest, EndingsBeforeTheUploadTouchNoImage) {
    {
        MachineDriver d;
        healthy(d);
        Target wifi = MakeTarget({192, 168, 0, 21});
        wifi.ifType = kWifiInterface;
        UpgradeMachine m(wifi, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::WifiInterface);
        EXPECT_TRUE(d.log.empty()) << "a Wi-Fi camera is not contacted";
    }
    {
        MachineDriver d;
        d.query = [](const step::Query&) { return MachineDriver::Answer(RequestResult::Unauthorized); };
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Unauthorized);
        EXPECT_EQ(d.Count("query"), 1) << "a refused login is not asked again";
    }
    {
        MachineDriver d;
        healthy(d);
        d.query = [](const step::Query&) { return MachineDriver::ModelAndVersion("IPC9000", "V1.05"); };
        UpgradeMachine guarded(MakeTarget({192, 168, 0, 21}), image(), {});
        EXPECT_EQ(d.Run(guarded).kind, OutcomeKind::ModelMismatch);
        EXPECT_EQ(d.Count("upload"), 0);
        MachineDriver lifted;
        healthy(lifted);
        lifted.query = d.query;
        UpgradeMachine allowed(MakeTarget({192, 168, 0, 21}), image(), {.allowOtherModels = true});
        lifted.Run(allowed);
        EXPECT_EQ(lifted.Count("upload"), 1) << "the operator lifted the guard";
    }
    {
        MachineDriver d;
        healthy(d);
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {.dryRun = true});
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, OutcomeKind::WouldFlash);
        EXPECT_EQ(o.versionBefore, "V1.05");
        EXPECT_EQ(o.imageVersion, "V1.06");
        EXPECT_EQ(d.Calls(), std::vector<std::string>{"query 192.168.0.21"});
    }
}

TEST(UpgradeMachineTest, ASilentCameraIsMovedThreeTimesThenSentHome) {
    MachineDriver d;
    d.query = [](const step::Query&) { return MachineDriver::Answer(RequestResult::ReplyWithoutContent); };
    UpgradeMachine m(MakeTarget({10, 1, 2, 3}), image(), {});
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::DeviceOffline);
    EXPECT_EQ(d.Count("move"), UpgradeMachine::kMaxLinkLocalMoves);
    EXPECT_EQ(std::vector<std::string>(d.log.end() - 3, d.log.end()),
              (std::vector<std::string>{"home", "await 10.1.2.3", "forget"}))
        << "the last thing it hears is its way home, and its journal entry goes once it is seen there";
    EXPECT_FALSE(m.Moved());
    // Each move is followed by one query to wake its web server and one that counts.
    EXPECT_EQ(d.Count("query 169.254.0.3"), 2);
    EXPECT_EQ(d.Count("query 10.1.2.3"), 1);

    MachineDriver silent;
    UpgradeMachine quiet(MakeTarget({10, 1, 2, 3}), image(), {});
    EXPECT_EQ(silent.Run(quiet).kind, OutcomeKind::DeviceOffline);
    EXPECT_EQ(silent.Count("query 10.1.2.3"), 3) << "no answer at all: three tries";
    EXPECT_EQ(silent.Count("wait 500"), 3 + UpgradeMachine::kMaxLinkLocalMoves * 6) << "a pause after each";
}

TEST(UpgradeMachineTest, ACameraThatSharesItsAddressIsAskedOnlyOnItsOwn) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    MachineDriver d;
    healthy(d);
    UpgradeMachine m(twin, image(), {});
    EXPECT_EQ(d.Run(m).kind, OutcomeKind::Upgraded);
    EXPECT_EQ(d.Calls(), (std::vector<std::string>{"move", "query 169.254.0.1", "upload 169.254.0.1",
                                                   "query 169.254.0.1", "home", "forget"}));

    MachineDriver nobody;
    UpgradeMachine lost(twin, image(), {});
    const CameraOutcome& o = nobody.Run(lost);
    EXPECT_EQ(o.kind, OutcomeKind::SharedAddressUnreachable);
    EXPECT_EQ(o.sharedAddress, "192.168.0.20");
    EXPECT_EQ(nobody.Count("move"), UpgradeMachine::kMaxLinkLocalMoves);
    EXPECT_EQ(nobody.Count("query 192.168.0.20"), 0) << "never asked where another camera answers too";

    // A move that cannot be made ends it; one made earlier is still undone.
    for (auto [failure, ending] : {std::pair{MoveResult::NoFreeAddress, OutcomeKind::NoFreeLinkLocal},
                                   std::pair{MoveResult::CannotProbe, OutcomeKind::CannotProbe},
                                   std::pair{MoveResult::Interrupted, OutcomeKind::Interrupted}}) {
        const MoveResult result = failure;
        const OutcomeKind kind = ending;
        MachineDriver refused;
        refused.move = [result] { return input::Moved{result, {}}; };
        UpgradeMachine never(twin, image(), {});
        EXPECT_EQ(refused.Run(never).kind, kind);
        EXPECT_EQ(refused.Calls(), std::vector<std::string>{"move"}) << "never moved, nothing to send home";

        MachineDriver second;
        second.move = [&second, result] {
            return second.Count("move") == 1 ? input::Moved{MoveResult::Moved, "169.254.0.9"}
                                             : input::Moved{result, {}};
        };
        UpgradeMachine once(twin, image(), {});
        EXPECT_EQ(second.Run(once).kind, kind);
        EXPECT_EQ(second.log.back(), "forget") << "sent home and seen there";
    }
}

TEST(UpgradeMachineTest, RefusedUploadsAndTheVersionAfterTheRebootDecide) {
    {
        MachineDriver d;
        healthy(d);
        d.upload = [](const step::Upload&) { return input::UploadAnswered{}; };
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, OutcomeKind::UploadFailed);
        EXPECT_EQ(o.uploadAttempts, 3);
        EXPECT_EQ(d.Count("upload"), 3);
        EXPECT_EQ(d.Count("wait 500"), 3) << "the camera's CGI wants half a second after each";
    }
    {
        MachineDriver d;
        healthy(d);
        d.upload = [&d](const step::Upload&) {
            return d.Count("upload") == 2 ? MachineDriver::Accepted() : input::UploadAnswered{};
        };
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Upgraded);
        EXPECT_EQ(m.Outcome().uploadAttempts, 1);
    }
    // A camera that refused the image, or reports a higher version, did not take this image.
    for (auto [after, kind] :
         {std::pair{"V1.05", OutcomeKind::WrongVersion}, std::pair{"V1.07", OutcomeKind::WrongVersion},
          std::pair{"V1.06a", OutcomeKind::Upgraded}}) {
        MachineDriver d;
        healthy(d, after);
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
        EXPECT_EQ(d.Run(m).kind, kind) << after;
        EXPECT_EQ(m.Outcome().versionAfter, after);
    }
}

TEST(UpgradeMachineTest, SilenceAfterTheRebootKeepsTheWayHomeInTheJournal) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    auto silentAfterUpload = [](MachineDriver& d) {
        healthy(d);
        d.query = [&d](const step::Query&) {
            return d.Count("upload") ? input::Queried{} : MachineDriver::ModelAndVersion("IPC1234", "V1.05");
        };
    };
    {
        MachineDriver d;
        silentAfterUpload(d);
        d.seen = [](const step::AwaitSighting& a) { return a.at != Ipv4{192, 168, 0, 20}; };
        UpgradeMachine m(twin, image(), {});
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, OutcomeKind::NoAnswerAfterReboot);
        EXPECT_FALSE(o.ipAfter) << "where it is now is not known";
        EXPECT_EQ(o.leftAt, "169.254.0.1") << "not seen home: the journal keeps it";
        EXPECT_EQ(d.Count("home"), 5) << "sent again with a growing pause, for a bounded time";
        EXPECT_EQ(d.Count("forget"), 0);
    }
    {
        MachineDriver d;
        silentAfterUpload(d);
        UpgradeMachine m(twin, image(), {});
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, OutcomeKind::NoAnswerAfterReboot);
        EXPECT_FALSE(o.leftAt) << "its own reply showed it home";
        EXPECT_EQ(o.ipAfter, "192.168.0.20");
        EXPECT_EQ(d.log.back(), "forget");
    }
}

TEST(UpgradeMachineTest, AMoveCountsOnlyOnceTheCameraIsSeenThere) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    {
        // The first two commands are lost: it is sent again, and asked only where it was seen.
        MachineDriver d;
        healthy(d);
        d.seen = [&d](const step::AwaitSighting& a) { return a.at != Ipv4{169, 254, 0, 1} || d.Count("resend") == 2; };
        UpgradeMachine m(twin, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Upgraded);
        EXPECT_EQ(std::vector<std::string>(d.log.begin(), d.log.begin() + 7),
                  (std::vector<std::string>{"move", "await 169.254.0.1", "resend 169.254.0.1", "await 169.254.0.1",
                                            "resend 169.254.0.1", "await 169.254.0.1", "query 169.254.0.1"}));
    }
    {
        // Never seen there: never asked there, and sent home in case it moved after all.
        MachineDriver d;
        healthy(d);
        d.seen = [](const step::AwaitSighting& a) { return a.at == Ipv4{192, 168, 0, 20}; };
        UpgradeMachine m(twin, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::NotSeenAfterMove);
        EXPECT_EQ(d.Count("resend"), kMoveSends - 1);
        EXPECT_EQ(d.Count("query"), 0);
        EXPECT_EQ(std::vector<std::string>(d.log.end() - 3, d.log.end()),
                  (std::vector<std::string>{"home", "await 192.168.0.20", "forget"}));
    }
    {
        // Its way home could not be written: it is not moved at all.
        MachineDriver d;
        d.move = [] { return input::Moved{MoveResult::NoJournal, {}, "Cameras were not moved: cannot write ..."}; };
        UpgradeMachine m(twin, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::NoWayHome);
        EXPECT_EQ(m.Outcome().note, "Cameras were not moved: cannot write ...");
        EXPECT_EQ(d.Calls(), std::vector<std::string>{"move"});
    }
}

TEST(UpgradeMachineTest, AnUploadWithoutAnAnswerIsTakenForABurnAndJudgedByTheVersion) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    auto unanswered = [](const step::Upload&) {
        input::UploadAnswered u;
        u.reply.bodySent = true;
        return u;
    };
    {
        MachineDriver d;
        healthy(d);
        d.upload = unanswered;
        UpgradeMachine m(twin, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Upgraded) << "it took the image after all";
        EXPECT_EQ(d.Count("upload"), 1) << "never sent the image again";
        EXPECT_EQ(d.Count("wait 1000"), UpgradeMachine::kPresumedBurnSeconds + 60);
        const auto phases = d.Phases();
        EXPECT_NE(std::find(phases.begin(), phases.end(), Phase::Unanswered), phases.end());
        const auto firstHome = std::find(d.log.begin(), d.log.end(), "home");
        const auto verify = std::find(d.log.rbegin(), d.log.rend(), "query 169.254.0.1").base();
        ASSERT_NE(firstHome, d.log.end());
        EXPECT_TRUE(firstHome >= verify) << "nothing is sent into its burn";
    }
    {
        // Stopped while the answer was awaited: it may be burning, so the journal keeps it.
        MachineDriver d;
        healthy(d);
        d.upload = unanswered;
        d.before = [](CameraMachine& machine, const std::string& logged) {
            if (logged.starts_with("upload"))
                machine.Stop();
        };
        UpgradeMachine m(twin, image(), {});
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, OutcomeKind::Interrupted);
        EXPECT_EQ(o.leftAt, "169.254.0.1");
        EXPECT_EQ(d.Count("home"), 0);
    }
    {
        // A whole answer that is not an acceptance is a refusal: that one may be sent again.
        MachineDriver d;
        healthy(d);
        d.upload = [](const step::Upload&) {
            input::UploadAnswered u;
            u.reply.bodySent = u.reply.answered = true;
            return u;
        };
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::UploadFailed);
        EXPECT_EQ(d.Count("upload"), 3);
    }
}

TEST(UpgradeMachineTest, AStopSendsHomeWhatCanHearAndLeavesTheBurningToTheJournal) {
    Target twin = MakeTarget({192, 168, 0, 20});
    twin.sharesAddress = true;
    auto stopAt = [](const std::string& prefix, int nth = 1) {
        return [prefix, nth, seen = 0](CameraMachine& m, const std::string& logged) mutable {
            if (logged.starts_with(prefix) && ++seen == nth)
                m.Stop();
        };
    };
    {
        MachineDriver d;
        d.before = stopAt("query");
        UpgradeMachine m(twin, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Interrupted);
        EXPECT_EQ(d.log.back(), "forget") << "it can hear its way home, and is seen there";
        EXPECT_EQ(d.Count("query"), 1) << "no second try once stopping";
        EXPECT_FALSE(m.Outcome().leftAt);
        EXPECT_FALSE(m.Outcome().imageDelivered);
    }
    {
        MachineDriver d;
        healthy(d);
        d.before = stopAt("wait 125", 3);
        UpgradeMachine m(twin, image(), {});
        const CameraOutcome& o = d.Run(m);
        EXPECT_EQ(o.kind, OutcomeKind::Interrupted);
        EXPECT_EQ(o.leftAt, "169.254.0.1") << "a burning camera would not hear it: the journal keeps it";
        EXPECT_EQ(o.ipAfter, "169.254.0.1");
        // "Interrupted [failed]" hid an image the camera had taken.
        EXPECT_TRUE(o.imageDelivered);
        EXPECT_EQ(Status::Of(o).text, "Interrupted after the upload");
        EXPECT_EQ(d.Count("home"), 0);
        EXPECT_EQ(d.Count("wait 1000"), 0) << "no countdown once stopping";
    }
    {
        // Stopped while the camera took the image: it burns all the same.
        MachineDriver d;
        healthy(d);
        d.before = stopAt("wait 500");
        UpgradeMachine m(twin, image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Interrupted);
        EXPECT_EQ(m.Outcome().leftAt, "169.254.0.1");
    }
    {
        MachineDriver d;
        healthy(d);
        d.upload = [](const step::Upload&) { return input::UploadAnswered{}; };
        d.before = stopAt("upload");
        UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
        EXPECT_EQ(d.Run(m).kind, OutcomeKind::Interrupted);
        EXPECT_EQ(d.Count("upload"), 1);
    }
}

TEST(UpgradeMachineTest, AnAnswerOutOfTurnEndsTheWorkInsteadOfGuessing) {
    UpgradeMachine m(MakeTarget({192, 168, 0, 21}), image(), {});
    ASSERT_TRUE(std::holds_alternative<step::Query>(m.Start()));
    EXPECT_TRUE(std::holds_alternative<step::Finish>(m.On(input::Pinged{true})));
    EXPECT_EQ(m.Outcome().kind, OutcomeKind::Interrupted);
    EXPECT_TRUE(std::holds_alternative<step::Finish>(m.On(input::Elapsed{}))) << "an ended machine stays ended";
}

} // namespace
