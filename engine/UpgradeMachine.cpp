#include "engine/UpgradeMachine.h"

#include <algorithm>
#include <cstring>

#include "webops/ReplyParser.h"

UpgradeMachine::UpgradeMachine(const Target& target, std::shared_ptr<const FirmwareImage> image,
                               const JobOptions& options)
    : CameraMachine(target, DetourKind::Upgrade), m_image(std::move(image)), m_options(options) {}

Action UpgradeMachine::Start() {
    if (m_target.ifType == kWifiInterface)
        return end(OutcomeKind::WifiInterface);
    // A camera that shares its address is asked only where it alone answers: its own link-local
    // address, given by a command addressed to its MAC.
    if (m_target.sharesAddress)
        return move();
    return beginQuery(Round::Before);
}

Action UpgradeMachine::afterMove(MoveResult result) {
    if (result != MoveResult::Moved)
        return CameraMachine::afterMove(result);
    ++m_moves;
    // After a move the camera is asked once to wake its web server; only the next round counts.
    return beginQuery(m_moves == 1 && m_target.sharesAddress ? Round::Before : Round::AfterMove);
}

Action UpgradeMachine::step(const Input& input) {
    switch (m_state) {
    case State::Query:
        if (!m_query.Accepts(input))
            break;
        if (auto next = m_query.On(input, m_stopping))
            return *next;
        return queried(m_query.Result());
    case State::Turn:
        if (const auto* turn = AnswerAs<input::Turn>(input)) {
            if (!turn->granted)
                return end(OutcomeKind::FirstWaveFailed);
            m_upload.Begin();
            return upload();
        }
        break;
    case State::Upload:
        if (const auto* u = AnswerAs<input::UploadAnswered>(input))
            return uploadAnswered(*u);
        break;
    case State::UploadPause:
        return afterUploadPause();
    case State::Burn:
        ++m_percent;
        return burn();
    case State::Unanswered:
        --m_secondsLeft;
        return unanswered();
    case State::Reboot:
        --m_secondsLeft;
        return reboot();
    case State::AwaitReturn:
        if (m_stopping)
            return interrupted();
        return beginQuery(Round::Verify);
    case State::Idle:
        break;
    }
    return unexpected();
}

Action UpgradeMachine::uploadAnswered(const input::UploadAnswered& u) {
    m_burnTime = u.reply.burnTime;
    const bool accepted = u.result == RequestResult::ReplyWithoutContent;
    // Its whole image left and no answer came: it may be burning, and must not be sent the image
    // again, nor a command it would not hear.
    m_outcomeUnknown = !accepted && u.reply.OutcomeUnknown();
    if (!accepted)
        ++m_outcome.uploadAttempts;
    // The camera's upgrade CGI wants half a second after the request, whatever its answer.
    m_state = State::UploadPause;
    return step::Wait{m_upload.Attempted(accepted).value_or(Clock::Milliseconds(0))};
}

Action UpgradeMachine::afterUploadPause() {
    if (m_outcomeUnknown) {
        setRebooting(true);
        m_secondsLeft = kPresumedBurnSeconds;
        return unanswered();
    }
    if (m_upload.Settled()) {
        // From here until it answers again the camera burns and reboots: it would not hear a command.
        setRebooting(true);
        show(Phase::Uploaded);
        m_burnStep = Clock::Milliseconds(ReplyParser::ProgressStepMs(m_burnTime));
        m_percent = 0;
        return burn();
    }
    if (m_upload.AnotherAttempt(m_stopping))
        return upload();
    return end(m_stopping ? OutcomeKind::Interrupted : OutcomeKind::UploadFailed);
}

Action UpgradeMachine::beginQuery(Round round) {
    m_round = round;
    m_state = State::Query;
    show(round == Round::Verify ? Phase::Verifying : Phase::Querying);
    return m_query.Begin(m_host);
}

Action UpgradeMachine::queried(RequestResult r) {
    switch (m_round) {
    case Round::AfterMove:
        return beginQuery(Round::Before);
    case Round::Verify:
        // Cameras take minutes to come back: silence before the deadline is no verdict yet.
        if ((r == RequestResult::NoReply || r == RequestResult::ReplyWithoutContent) && !m_stopping &&
            m_now < m_returnDeadline)
            return awaitReturn();
        return judge(r);
    case Round::Before:
        break;
    }
    if (r == RequestResult::Unauthorized)
        return end(OutcomeKind::Unauthorized);
    if (r == RequestResult::ModelAndVersion)
        return guard();
    if (m_stopping)
        return end(OutcomeKind::Interrupted);
    if (m_moves == kMaxLinkLocalMoves) {
        m_outcome.sharedAddress = FormatIpv4(m_target.ip);
        return end(m_target.sharesAddress ? OutcomeKind::SharedAddressUnreachable : OutcomeKind::DeviceOffline);
    }
    // A camera that does not answer its web page may answer at a link-local address.
    return move();
}

Action UpgradeMachine::guard() {
    m_outcome.model = m_query.Info().model.data();
    m_outcome.versionBefore = m_query.Info().version.data();
    // An image built for another model is not flashed unless the operator lifted the guard.
    const std::string cameraModel = m_query.Info().model.data();
    if (!m_options.allowOtherModels && !cameraModel.empty() && !m_image->header.model.empty() &&
        !SameModel(cameraModel, m_image->header.model))
        return end(OutcomeKind::ModelMismatch);
    const bool current = runsImageVersion(m_query.Info());
    if (current && m_options.skipCurrent) {
        m_outcome.imageVersion = m_image->header.version;
        return end(OutcomeKind::AlreadyCurrent);
    }
    if (m_options.dryRun) {
        m_outcome.imageVersion = m_image->header.version;
        return end(OutcomeKind::WouldFlash);
    }
    // What it reported before the upload says nothing about the image: only a later answer counts.
    m_query.ForgetInfo();
    m_state = State::Turn;
    return step::AwaitTurn{};
}

Action UpgradeMachine::upload() {
    if (m_stopping)
        return end(OutcomeKind::Interrupted);
    m_state = State::Upload;
    show(Phase::Uploading);
    return step::Upload{m_host};
}

Action UpgradeMachine::burn() {
    if (m_percent > 100 || m_stopping) {
        m_secondsLeft = kRebootCountdownSeconds;
        return reboot();
    }
    m_state = State::Burn;
    show(Phase::Burning, m_percent);
    return step::Wait{m_burnStep};
}

Action UpgradeMachine::unanswered() {
    if (m_secondsLeft < 1 || m_stopping) {
        m_secondsLeft = kRebootCountdownSeconds;
        return reboot();
    }
    m_state = State::Unanswered;
    show(Phase::Unanswered, m_secondsLeft);
    return step::Wait{Clock::Milliseconds(1000)};
}

Action UpgradeMachine::reboot() {
    if (m_stopping)
        return interrupted();
    if (m_secondsLeft < 1) {
        m_returnDeadline = m_now + m_options.rebootTimeout;
        return beginQuery(Round::Verify);
    }
    m_state = State::Reboot;
    show(Phase::Rebooting, m_secondsLeft);
    return step::Wait{Clock::Milliseconds(1000)};
}

Action UpgradeMachine::interrupted() {
    // Only after the body was taken: the camera may well run the image when it is back.
    m_outcome.imageDelivered = true;
    m_outcome.ipAfter = Moved() ? LinkLocalAddress() : FormatIpv4(m_target.ip);
    return end(OutcomeKind::Interrupted);
}

Action UpgradeMachine::awaitReturn() {
    const auto left = m_returnDeadline - m_now;
    m_state = State::AwaitReturn;
    show(Phase::AwaitingReturn, static_cast<int>((left.count() + 999) / 1000));
    return step::Wait{std::min(kAskAgain, left)};
}

Action UpgradeMachine::judge(RequestResult r) {
    setRebooting(false);
    if (r != RequestResult::ModelAndVersion) {
        // Silent since its reboot: what it runs is not known, and where it is only once it is seen.
        m_outcome.ipAfter.reset();
        return endSilent(OutcomeKind::NoAnswerAfterReboot);
    }
    const FirmwareInfo& info = m_query.Info();
    m_outcome.model = info.model.data();
    m_outcome.versionAfter = info.version.data();
    // Only the image's own version is success: one that refused a downgrade, or reports a higher
    // version, did not take this image.
    return end(runsImageVersion(info) ? OutcomeKind::Upgraded : OutcomeKind::WrongVersion);
}

bool UpgradeMachine::runsImageVersion(const FirmwareInfo& info) const {
    return info.version[0] != '\0' && std::strncmp(info.version.data(), m_image->header.version.c_str(), 5) == 0;
}
