// What a Status claims after an upgrade must hold for that camera and no other, and no camera or
// route is left behind, whatever path the worker takes out.
#include <algorithm>
#include <chrono>
#include <set>

#include "engine/LinkLocalDetours.h"
#include "tests/unit/WorkflowFixture.h"

namespace {

using namespace std::chrono_literals;

class TruthfulUpgradeTest : public WorkflowTest {
protected:
    void Upgrade(const std::string& image) {
        window.SetFieldText(Field::FirmwarePath, image);
        SelectAll();
        Run(&CTarnDlg::OnStartUpgrade);
    }
    static bool Contains(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// Two factory-fresh cameras at one address once both showed success: one got two uploads, the other none.
TEST_F(TruthfulUpgradeTest, CamerasSharingAnAddressAreUpgradedEachOnAnAddressOfItsOwn) {
    FakeCamera first = Cam("First", 1, {192, 168, 0, 20});
    FakeCamera second = Cam("Second", 2, {192, 168, 0, 20});
    FakeCamera lone = Cam("Lone", 3, {192, 168, 0, 20});
    lone.queryWhenMoved = RequestResult::NoReply; // does not answer once moved
    FakeCamera other = Cam("Other", 4, {192, 168, 0, 21});
    Start({first, second, lone, other});
    Upgrade(WriteImage("106"));

    for (const char* name : {"First", "Second"}) {
        SCOPED_TRACE(name);
        const FakeCamera& c = net->Camera(name);
        EXPECT_EQ(Status(name), "UPGRADE SUCCESSFUL");
        EXPECT_EQ(c.uploads, 1) << "exactly its own upload";
        EXPECT_EQ(c.version, "V1.06");
        ASSERT_EQ(c.moves.size(), 2u);
        EXPECT_EQ(c.moves.back(), (Ipv4{192, 168, 0, 20})) << "sent home";
        for (const std::string& line : c.log)
            EXPECT_EQ(line.find("192.168.0.20"), std::string::npos) << "asked at the shared address: " << line;
    }
    EXPECT_NE(net->Camera("First").moves.front(), net->Camera("Second").moves.front());
    EXPECT_EQ(Outcome("Lone"), OutcomeKind::SharedAddressUnreachable);
    EXPECT_TRUE(Failed("Lone"));
    EXPECT_EQ(net->Camera("Lone").uploads, 0);
    EXPECT_EQ(net->Camera("Lone").ip, (Ipv4{192, 168, 0, 20})) << "sent home after its last move";
    EXPECT_EQ(Outcome("Other"), OutcomeKind::Upgraded);
    EXPECT_TRUE(net->Camera("Other").moves.empty()) << "a camera with an address of its own stays there";
    EXPECT_TRUE(Journal().restores.empty());
    EXPECT_TRUE(Journal().routes.empty());
    EXPECT_FALSE(net->routePresent);
}

// Three cameras detoured at once all received 169.254.0.1.
TEST_F(TruthfulUpgradeTest, EveryLinkLocalAddressOfAJobIsDistinct) {
    std::vector<FakeCamera> cameras;
    for (int i = 0; i < 8; ++i) {
        FakeCamera c = Cam("H" + std::to_string(i), static_cast<std::uint8_t>(i + 1),
                           {192, 168, 0, static_cast<std::uint8_t>(50 + i)});
        c.queryAtHome = RequestResult::ReplyWithoutContent; // answers without model and version until moved
        cameras.push_back(c);
    }
    Start(cameras);
    Upgrade(WriteImage("106"));
    std::set<Ipv4> given;
    for (int i = 0; i < 8; ++i) {
        const FakeCamera& c = net->Camera("H" + std::to_string(i));
        EXPECT_EQ(Outcome(c.name), OutcomeKind::Upgraded) << c.name;
        EXPECT_EQ(c.uploads, 1) << c.name;
        ASSERT_EQ(c.moves.size(), 2u) << c.name;
        given.insert(c.moves.front());
    }
    EXPECT_EQ(given.size(), 8u);
    for (const Ipv4& address : given)
        EXPECT_TRUE(address[2] >= 1 && address[2] <= 254 && address[3] >= 1 && address[3] <= 254)
            << "outside what RFC 3927 leaves to hosts: " << FormatIpv4(address);
    // Healthy twins ended "no answer on its own" after earlier jobs: the host's neighbour entry for
    // the address still named the camera that had it last.
    const auto log = net->Calls("");
    for (const Ipv4& address : given) {
        const std::string text = FormatIpv4(address);
        const auto forget = std::find(log.begin(), log.end(), "forget-neighbour " + text + " 2");
        ASSERT_NE(forget, log.end()) << text;
        const auto sent = std::find_if(log.begin(), log.end(), [&](const std::string& line) {
            return line.starts_with("set-network ") && line.ends_with(" " + text);
        });
        EXPECT_LT(forget, sent) << "the entry goes before the camera moves there: " << text;
    }
}

TEST_F(TruthfulUpgradeTest, AProbeThatCannotProbeMovesNothing) {
    FakeCamera hidden = Cam("Hidden", 1, {192, 168, 0, 50});
    hidden.queryAtHome = RequestResult::ReplyWithoutContent;
    Start({hidden});
    net->canProbe = false;
    Upgrade(WriteImage("106"));
    EXPECT_EQ(Outcome("Hidden"), OutcomeKind::CannotProbe);
    EXPECT_TRUE(Failed("Hidden"));
    EXPECT_TRUE(net->Commands().empty()) << "no address is handed out unprobed";
}

// A typed path left the version box empty and every answering camera was judged successful.
TEST_F(TruthfulUpgradeTest, TheImageSentIsTheImageJudgedAndAShortOneIsRefused) {
    FakeCamera behind = Cam("Behind", 1, {192, 168, 0, 21});
    behind.versionAfterUpload = "V1.05";
    Start({behind});
    window.SetFieldText(Field::FwVersion, "");
    window.SetFieldText(Field::Model, "");
    Upgrade(WriteImage("106"));
    EXPECT_EQ(Outcome("Behind"), OutcomeKind::WrongVersion) << "judged against the image's V1.06";
    EXPECT_EQ(window.FieldText(Field::FwVersion), "V1.06");
    EXPECT_EQ(window.FieldText(Field::Model), "IPC1234");

    for (std::size_t size : {std::size_t{0}, std::size_t{99}}) {
        SCOPED_TRACE(size);
        window.ClearCalls();
        auto uploadsBefore = net->Calls("upload").size();
        Upgrade(WriteImage("106", size));
        EXPECT_EQ(net->Calls("upload").size(), uploadsBefore) << "nothing is sent";
        EXPECT_NE(dlg->Jobs().LastRefusal().English().find("too short"), std::string::npos)
            << dlg->Jobs().LastRefusal();
        EXPECT_EQ(window.Calls("MessageBox").size(), 1u);
        EXPECT_TRUE(window.Calls("Controls").empty()) << "the window was never taken";
    }
    // Neither a camera nor an image: "Please select firmware first" sent the technician to choose a
    // file, and the next press still did nothing.
    window.ClearCalls();
    window.SetFieldText(Field::FirmwarePath, "");
    window.Select({});
    Run(&CTarnDlg::OnStartUpgrade);
    EXPECT_TRUE(window.Calls("MessageBox").empty());
    EXPECT_EQ(window.Calls("Note "), std::vector<std::string>{"Note Nothing was done: no camera is selected."});
    SelectAll();
    Run(&CTarnDlg::OnStartUpgrade);
    EXPECT_EQ(window.Calls("MessageBox"), std::vector<std::string>{"MessageBox Please select firmware first !!"});
}

TEST_F(TruthfulUpgradeTest, TheModelAndVersionBoxesFollowATypedPath) {
    Start({});
    dlg->OnFirmwarePathEdited(WriteImage("107"));
    EXPECT_EQ(window.FieldText(Field::FwVersion), "V1.07");
    EXPECT_EQ(window.FieldText(Field::Model), "IPC1234");
    dlg->OnFirmwarePathEdited("/no/such/image.bin");
    EXPECT_EQ(window.FieldText(Field::FwVersion), "");
    EXPECT_EQ(window.FieldText(Field::Model), "");
}

// A moved camera stayed at 169.254.x.y after three failed uploads or a 401 once moved.
TEST_F(TruthfulUpgradeTest, AMovedCameraIsSentHomeOnEveryWayOut) {
    FakeCamera refusing = Cam("Refusing", 1, {192, 168, 0, 31});
    refusing.queryAtHome = RequestResult::ReplyWithoutContent;
    refusing.upload = RequestResult::NoReply;
    FakeCamera locked = Cam("Locked", 2, {192, 168, 0, 32});
    locked.queryAtHome = RequestResult::ReplyWithoutContent;
    locked.queryWhenMoved = RequestResult::Unauthorized;
    Start({refusing, locked});
    Upgrade(WriteImage("106"));
    EXPECT_EQ(Outcome("Refusing"), OutcomeKind::UploadFailed);
    EXPECT_EQ(net->Camera("Refusing").ip, (Ipv4{192, 168, 0, 31}));
    EXPECT_EQ(Outcome("Locked"), OutcomeKind::Unauthorized);
    EXPECT_EQ(net->Camera("Locked").ip, (Ipv4{192, 168, 0, 32}));
    EXPECT_TRUE(Journal().restores.empty());
    EXPECT_FALSE(net->routePresent);
}

// Interrupted while the camera burns: the way home waits in the journal, and the next start sends it.
TEST_F(TruthfulUpgradeTest, ACameraBurningWhenTheJobEndsIsSentHomeAtTheNextStart) {
    FakeCamera slow = Cam("Slow", 1, {192, 168, 0, 41});
    slow.queryAtHome = RequestResult::ReplyWithoutContent;
    slow.burnTime = "120";
    Start({slow}, 1.0);
    window.SetFieldText(Field::FirmwarePath, WriteImage("106"));
    SelectAll();
    dlg->OnStartUpgrade(Inputs());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return PhaseOf("Slow") == Phase::Burning; }, 10s));
    auto began = std::chrono::steady_clock::now();
    dlg->OnCancel();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
    EXPECT_EQ(
        window.Calls("Note 1 camera is not seen back at its own address yet: Slow (02:00:00:00:00:01) at 169.254.")
            .size(),
        1u)
        << "the operator is told";
    const Ipv4 away = net->Camera("Slow").ip;
    ASSERT_EQ(away[0], 169) << "still at its link-local address, burning";
    auto pending = Journal();
    ASSERT_EQ(pending.restores.size(), 1u);
    EXPECT_EQ(pending.restores[0].home, "192.168.0.41");
    EXPECT_EQ(pending.restores[0].movedTo, FormatIpv4(away));
    EXPECT_TRUE(pending.routes.empty()) << "closing removed the route it had added";
    EXPECT_FALSE(net->routePresent);

    // A run that was killed outright leaves its route in the journal as well.
    {
        RestoreJournal killed(StateFolder());
        ASSERT_TRUE(killed.AddRoute({{}, "eth0", 2}));
    }
    net->routePresent = true;

    // A new run of either front end: the camera is sent home and the route removed.
    dlg.reset();
    window.ClearCalls();
    Start({});
    EXPECT_EQ(net->Camera("Slow").ip, (Ipv4{192, 168, 0, 41}));
    EXPECT_FALSE(net->routePresent);
    EXPECT_TRUE(Journal().restores.empty());
    EXPECT_TRUE(Journal().routes.empty());
    ASSERT_EQ(dlg->Leftovers().Replayed().size(), 2u);
    EXPECT_NE(dlg->Leftovers().Replayed()[0].English().find("removed the link-local route"), std::string::npos)
        << dlg->Leftovers().Replayed()[0];
    EXPECT_NE(dlg->Leftovers().Replayed()[1].English().find("back to 192.168.0.41"), std::string::npos)
        << dlg->Leftovers().Replayed()[1];
    EXPECT_EQ(window.Calls("Note At start-up: sent Slow").size(), 1u) << "seen home, and said so";
    // The start-up's homecoming has no row: the console listed "Back at its own address" beside an
    // empty Status once the search showed the camera.
    const auto slowRow = dlg->Discovery().List().Row(dlg->Discovery().List().RowOf(net->Camera("Slow").mac));
    ASSERT_TRUE(slowRow.has_value());
    EXPECT_TRUE(slowRow->status.empty());
}

// Every computer tried 169.254.0.1 first, in the same order as every other; an address the
// administrator pinned, or where the journal said a camera sat, was handed out all the same.
TEST_F(TruthfulUpgradeTest, LinkLocalChoiceFollowsTheCardAndSkipsWhatIsTaken) {
    LinkLocalSequence ours(testsupport::kBenchCardMac), again(testsupport::kBenchCardMac),
        neighbour(Mac{0x02, 0x00, 0x00, 0x00, 0x0a, 0x11});
    std::vector<std::string> order, repeat, other;
    for (int i = 0; i < 6; ++i) {
        order.push_back(ours.Next());
        repeat.push_back(again.Next());
        other.push_back(neighbour.Next());
    }
    EXPECT_EQ(order, repeat) << "the card's own sequence";
    EXPECT_NE(order, other) << "another card tries other addresses";

    // A job of another front end that is running now left a camera at the second candidate.
    RestoreJournal running(StateFolder());
    PendingRestore away;
    away.mac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x77};
    away.home = "192.168.0.77";
    away.movedTo = order[1];
    away.adapter = "eth0";
    away.command.assign(kAnyAddressDatagramLength, 0);
    ASSERT_TRUE(running.AddRestore(away));
    net->pinnedNeighbours = {order[0]};
    FakeCamera c = Cam("Moved", 1, {192, 168, 0, 50});
    c.queryAtHome = RequestResult::ReplyWithoutContent;
    Start({c});
    Upgrade(WriteImage("106"));
    EXPECT_EQ(Outcome("Moved"), OutcomeKind::Upgraded);
    ASSERT_FALSE(net->Camera("Moved").moves.empty());
    EXPECT_EQ(FormatIpv4(net->Camera("Moved").moves.front()), order[2]);
    EXPECT_TRUE(net->Calls("forget-neighbour " + order[0]).empty()) << "the pinned entry stays";
}

// A camera that had left the bench cost 30 s at every start, forever, and had its set-network
// command (with the login in it) broadcast to an empty segment each time.
TEST_F(TruthfulUpgradeTest, AJournalledCameraTheStartsSearchDoesNotShowCostsOneSearch) {
    {
        RestoreJournal earlier(StateFolder());
        PendingRestore gone;
        gone.mac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x99};
        gone.name = "Gone";
        gone.home = "192.168.0.99";
        gone.movedTo = "169.254.9.9";
        gone.adapter = "eth0";
        gone.command.assign(kAnyAddressDatagramLength, 0);
        ASSERT_TRUE(earlier.AddRestore(gone));
    }
    const auto began = std::chrono::steady_clock::now();
    replyScale = 1; // as the binaries wait for a reply
    Start({Cam("Here", 1, {192, 168, 0, 21})});
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s) << "one search, not the windows of a homecoming";
    EXPECT_TRUE(net->Calls("set-network").empty()) << "nothing is sent to a camera that is not there";
    ASSERT_EQ(dlg->Leftovers().Replayed().size(), 1u);
    EXPECT_NE(dlg->Leftovers().Replayed()[0].English().find(
                  "Gone (02:00:00:00:00:99) is still away at 169.254.9.9: a search on eth0 "
                  "did not show it (not on this card's segment"),
              std::string::npos)
        << dlg->Leftovers().Replayed()[0];
    EXPECT_EQ(dlg->Leftovers().StillAwayAtStart(), 1u);
    EXPECT_EQ(Journal().restores.size(), 1u) << "kept for a later start";
}

// At FLASHWELL_TIME_SCALE 0.01 a camera that took half a second to show its move was "Not seen at
// its new address", and its command was sent three times in half a second.
TEST_F(TruthfulUpgradeTest, AWaitForACamerasReplyIsNotShortenedByTheTimeScale) {
    replyScale = 1; // as the binaries run: only the workflow's own waits are scaled
    FakeCamera slow = Cam("Slow", 1, {192, 168, 0, 50});
    slow.queryAtHome = RequestResult::ReplyWithoutContent;
    Start({slow});
    net->Camera("Slow").lostSearches = 1; // its first answer after the move comes with the next search
    Upgrade(WriteImage("106"));
    EXPECT_EQ(Outcome("Slow"), OutcomeKind::Upgraded);
    const auto& moves = net->Camera("Slow").moves;
    ASSERT_EQ(moves.size(), 2u) << "one move, seen within its window, and one way home";
    EXPECT_EQ(moves.back(), (Ipv4{192, 168, 0, 50}));
}

// A camera a job left away was listed at its link-local address; the next job took that for its
// home, replaced the journal's entry, "sent it home" there and dropped the entry: its real home
// was recorded nowhere.
TEST_F(TruthfulUpgradeTest, ACameraLeftAwayKeepsItsHomeAcrossJobsUntilItIsSeenThere) {
    FakeCamera far = Cam("Far", 1, {192, 168, 0, 63});
    far.queryAtHome = RequestResult::ReplyWithoutContent; // reached only by a detour
    far.hearsCommands = 1;                                // the move, then nothing
    Start({far});
    const Ipv4 home{192, 168, 0, 63};
    const std::string image = WriteImage("106");
    Upgrade(image);
    ASSERT_TRUE(dlg->Fleet().Outcome(net->Camera("Far").mac)->leftAt);
    const std::string away = *dlg->Fleet().Outcome(net->Camera("Far").mac)->leftAt;
    EXPECT_EQ(Outcome("Far"), OutcomeKind::Upgraded);
    EXPECT_EQ(dlg->Discovery().List().GetItemText(0, 2), away) << "the row shows where the camera is";
    ASSERT_EQ(Journal().restores.size(), 1u);
    EXPECT_EQ(Journal().restores[0].home, "192.168.0.63");

    for (int job = 2; job <= 3; ++job) {
        SCOPED_TRACE("job " + std::to_string(job));
        if (job == 3)
            net->Camera("Far").hearsCommands = -1; // the bench loses nothing any more
        const std::size_t commandsBefore = net->Commands().size();
        Upgrade(image);
        EXPECT_EQ(Outcome("Far"), OutcomeKind::Upgraded);
        const std::vector<SetNetworkCommand> all = net->Commands();
        const std::vector<SetNetworkCommand> mine(all.begin() + static_cast<long>(commandsBefore), all.end());
        ASSERT_FALSE(mine.empty());
        EXPECT_EQ(mine.front().ip, home) << "sent home before it is worked on";
        for (const SetNetworkCommand& c : mine)
            EXPECT_TRUE(c.ip == home || c.ip[0] == 169) << "never sent to where it was listed as its home";
        if (job == 2) {
            ASSERT_EQ(Journal().restores.size(), 1u) << "still away, and the journal still knows its home";
            EXPECT_EQ(Journal().restores[0].home, "192.168.0.63");
            EXPECT_TRUE(dlg->Fleet().Outcome(net->Camera("Far").mac)->leftAt);
        }
    }
    EXPECT_EQ(net->Camera("Far").ip, home) << "brought home by the third job";
    EXPECT_TRUE(Journal().restores.empty());
    EXPECT_FALSE(dlg->Fleet().Outcome(net->Camera("Far").mac)->leftAt);
    EXPECT_EQ(dlg->Discovery().List().GetItemText(0, 2), "192.168.0.63");
}

// The end of a job wrote the addresses it had read back over a card whose DHCP lease had renewed meanwhile.
TEST_F(TruthfulUpgradeTest, TheCardsOwnAddressesAreLeftToWhoeverSetThem) {
    Start({Cam("Cam", 1, {192, 168, 0, 21})});
    AdapterConfig renewed = *net->adapterConfig;
    renewed.addresses = {"192.168.0.11"};
    net->adapterConfigLater = renewed;
    window.ClearCalls();
    Upgrade(WriteImage("106"));
    EXPECT_EQ(Outcome("Cam"), OutcomeKind::Upgraded);
    EXPECT_TRUE(net->Calls("ping").empty()) << "the card never went away: nothing to wait for";
    EXPECT_TRUE(window.Calls("Note Waiting").empty());
    const auto notes = window.Calls("Note The addresses");
    ASSERT_EQ(notes.size(), 1u) << testing::PrintToString(window.Calls("Note"));
    EXPECT_EQ(notes[0], "Note The addresses of eth0 changed during the job (from 192.168.0.10/255.255.255.0 to "
                        "192.168.0.11/255.255.255.0), not by Flashwell; they were left as they are.");
}

// "Starting Upgrade" with no row selected did nothing and said nothing.
TEST_F(TruthfulUpgradeTest, AButtonThatDoesNothingSaysWhy) {
    Start({Cam("Cam", 1, {192, 168, 0, 20}), Cam("Twin", 2, {192, 168, 0, 20})});
    window.SetFieldText(Field::FirmwarePath, WriteImage("106"));
    window.Select({});
    Run(&CTarnDlg::OnStartUpgrade);
    EXPECT_EQ(window.Calls("Note Nothing"), std::vector<std::string>{"Note Nothing was done: no camera is selected."});
    EXPECT_TRUE(net->Calls("upload").empty());

    window.SetFieldText(Field::RangeStart, "100");
    window.SetFieldText(Field::RangeEnd, "101");
    SelectAll();
    Run(&CTarnDlg::OnAutoChangeIp);
    EXPECT_EQ(window.Calls("Note Auto"),
              std::vector<std::string>{"Note Auto Change IP: the range 100~101 had no free address left for 1 camera "
                                       "at 192.168.0.20 (its end is never handed out)."});
}

// Every finished worker thread used to be kept until the window closed.
TEST_F(TruthfulUpgradeTest, FinishedThreadsAreJoinedAndAMissingThreadFailsItsCameraOnly) {
    Start({Cam("A", 1, {192, 168, 0, 21}), Cam("B", 2, {192, 168, 0, 22})});
    SelectAll();
    for (int job = 0; job < 20; ++job) {
        dlg->OnResetDefault(Inputs());
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !dlg->Jobs().Threads().AnyRunning() && !dlg->IsBusy(); }, 5s));
        SelectAll();
    }
    EXPECT_LE(dlg->Jobs().ThreadCount(), 3u) << "threads of earlier jobs are joined as later ones start";

    // The job's one thread for calls serves both cameras in turn.
    dlg.reset();
    net = std::make_shared<testsupport::FakeCameraNetwork>();
    threadLimit = 2; // the job's thread and one for its calls
    Start({Cam("A", 1, {192, 168, 0, 21}), Cam("B", 2, {192, 168, 0, 22})});
    SelectAll();
    Run(&CTarnDlg::OnResetDefault);
    EXPECT_EQ(Outcome("A"), OutcomeKind::ResetAccepted);
    EXPECT_EQ(Outcome("B"), OutcomeKind::ResetAccepted);
    EXPECT_FALSE(Failed("A") || Failed("B"));

    // Without any thread for calls no camera is touched, and each says so.
    dlg.reset();
    net = std::make_shared<testsupport::FakeCameraNetwork>();
    threadLimit = 1;
    Start({Cam("A", 1, {192, 168, 0, 21}), Cam("B", 2, {192, 168, 0, 22})});
    SelectAll();
    Run(&CTarnDlg::OnResetDefault);
    for (const char* name : {"A", "B"}) {
        EXPECT_EQ(Outcome(name), OutcomeKind::NoWorkerThread) << name;
        EXPECT_TRUE(Failed(name)) << name;
        EXPECT_EQ(net->Camera(name).resets, 0) << name;
    }
    EXPECT_EQ(dlg->Fleet().Records().Records().size(), 2u) << "every camera of the job has its line in the records";
    EXPECT_FALSE(dlg->IsBusy());
}

} // namespace
