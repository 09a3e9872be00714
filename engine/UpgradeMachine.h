#pragma once

#include <memory>

#include "engine/CameraMachine.h"
#include "engine/QueryRound.h"
#include "engine/Retry.h"

// One camera's firmware upgrade: it must answer over HTTP (moved to a link-local address of its
// own where it does not, or where it shares its address), pass the model guard, take the image,
// burn and reboot for the announced time, and then report the image's version.
class UpgradeMachine : public CameraMachine {
public:
    // A camera that gives no model and version is moved at most this often.
    static constexpr int kMaxLinkLocalMoves = 3;
    // How long a camera that took the whole image but never answered is given to burn it.
    static constexpr int kPresumedBurnSeconds = 120;
    // A camera silent after its reboot countdown is asked again this often until its deadline.
    static constexpr Clock::Milliseconds kAskAgain{3000};

    UpgradeMachine(const Target& target, std::shared_ptr<const FirmwareImage> image, const JobOptions& options);

    Action Start() override;
    bool HoldsTurn() const override { return m_state == State::Upload || m_state == State::UploadPause; }

private:
    // What the answers of a round of queries are for.
    enum class Round { Before, AfterMove, Verify };
    enum class State { Idle, Query, Turn, Upload, UploadPause, Unanswered, Burn, Reboot, AwaitReturn };

    Action step(const Input& input) override;
    Action afterMove(MoveResult result) override;
    Action beginQuery(Round round);
    Action queried(RequestResult result);
    Action guard();
    Action upload();
    Action uploadAnswered(const input::UploadAnswered& u);
    Action afterUploadPause(); // the pause after an upload: burn, wait it out, or try again
    Action burn();
    Action unanswered();
    Action reboot();
    Action awaitReturn();
    Action interrupted();
    Action judge(RequestResult result);
    bool runsImageVersion(const FirmwareInfo& info) const;

    std::shared_ptr<const FirmwareImage> m_image;
    JobOptions m_options;
    State m_state = State::Idle;
    Round m_round = Round::Before;
    QueryRound m_query;
    Retry m_upload{{3, Clock::Milliseconds(500), true}};
    int m_moves = 0;
    bool m_outcomeUnknown = false; // the last upload's body left but no answer came
    std::array<char, 32> m_burnTime{};
    Clock::Milliseconds m_burnStep{0};
    int m_percent = 0;
    int m_secondsLeft = 0;
    Clock::Milliseconds m_returnDeadline{0};
};
