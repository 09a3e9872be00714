#include "engine/JobProgress.h"

#include <algorithm>
#include <cmath>

namespace {

// A countdown's count falls by one a second of the job's clock; a burn's percentage rises.
bool countsDown(Phase phase) {
    return phase == Phase::Rebooting || phase == Phase::ResetRebooting || phase == Phase::Unanswered;
}

} // namespace

void JobProgress::Begin(std::size_t cameras, std::size_t atOnce, Moment now) {
    *this = JobProgress{};
    m_cameras = cameras;
    m_atOnce = atOnce == 0 ? std::max<std::size_t>(cameras, 1) : atOnce;
    m_begun = now;
}

void JobProgress::leave(Camera& camera, Moment now) {
    Spent& spent = m_spent[camera.phase];
    spent.total += now - camera.since;
    ++spent.times;
}

void JobProgress::On(const Mac& mac, const JobEvent& event, Moment now) {
    Camera& camera = m_state[mac];
    if (std::holds_alternative<event::CameraStarted>(event)) {
        camera.started = true;
        camera.since = now;
        camera.phase = Phase::Queued;
        camera.start = now;
        return;
    }
    if (const auto* changed = std::get_if<event::CameraChanged>(&event)) {
        if (changed->view.phase != camera.phase) {
            if (camera.started)
                leave(camera, now);
            camera.phase = changed->view.phase;
            camera.since = now;
            camera.firstCount = changed->view.count;
            if (std::find(m_order.begin(), m_order.end(), camera.phase) == m_order.end())
                m_order.push_back(camera.phase);
        }
        camera.started = true;
        camera.count = changed->view.count;
        return;
    }
    if (const auto* ended = std::get_if<event::CameraEnded>(&event)) {
        if (camera.ended)
            return;
        camera.ended = true;
        if (camera.started)
            leave(camera, now);
        ++m_done;
        m_failed += IsFailure(ended->outcome.kind) ? 1 : 0;
        if (camera.started) {
            m_whole.total += now - camera.start;
            ++m_whole.times;
        }
    }
}

std::chrono::duration<double> JobProgress::ahead(const Camera& camera, Moment now) const {
    using Seconds = std::chrono::duration<double>;
    const Seconds inPhase = now - camera.since;
    Seconds rest{0};
    // A countdown or a burn tells its own pace.
    const int moved = countsDown(camera.phase) ? camera.firstCount - camera.count : camera.count - camera.firstCount;
    if ((countsDown(camera.phase) || camera.phase == Phase::Burning) && moved > 0) {
        const Seconds perStep = inPhase / moved;
        rest = perStep * (countsDown(camera.phase) ? camera.count : 100 - camera.count);
    } else if (auto spent = m_spent.find(camera.phase); spent != m_spent.end()) {
        rest = std::max(Seconds{0}, spent->second.Mean() - inPhase);
    }
    // The phases after this one, as long as they took the cameras that went through them.
    auto at = std::find(m_order.begin(), m_order.end(), camera.phase);
    if (at != m_order.end())
        for (auto later = std::next(at); later != m_order.end(); ++later)
            if (auto spent = m_spent.find(*later); spent != m_spent.end())
                rest +=
                    spent->second.Mean() * std::min(1.0, static_cast<double>(spent->second.times) /
                                                             static_cast<double>(std::max<std::size_t>(m_cameras, 1)));
    return std::max(rest, m_whole.Mean() - Seconds(now - camera.start));
}

std::optional<std::chrono::seconds> JobProgress::Left(Moment now) const {
    using Seconds = std::chrono::duration<double>;
    if (m_whole.times == 0 || m_done >= m_cameras)
        return m_done >= m_cameras && m_cameras > 0 ? std::optional(std::chrono::seconds(0)) : std::nullopt;
    Seconds longest{0};
    std::size_t notStarted = m_cameras, waitingTurn = 0;
    for (const auto& [mac, camera] : m_state) {
        if (!camera.started)
            continue;
        --notStarted;
        if (camera.ended)
            continue;
        if (camera.phase == Phase::WaitingTurn || camera.phase == Phase::WaitingWave)
            ++waitingTurn;
        longest = std::max(longest, ahead(camera, now));
    }
    // Cameras not yet at work go in groups as large as the job lets run at once.
    const double rounds = std::ceil(static_cast<double>(notStarted) / static_cast<double>(m_atOnce));
    Seconds left = longest + m_whole.Mean() * rounds;
    if (waitingTurn > 0)
        if (auto upload = m_spent.find(Phase::Uploading); upload != m_spent.end())
            left += upload->second.Mean() * std::ceil(static_cast<double>(waitingTurn) / static_cast<double>(m_atOnce));
    return std::chrono::seconds(std::llround(left.count()));
}

Text JobProgress::Said(Moment now) const {
    if (m_cameras == 0)
        return {};
    std::vector<::Text> counts{std::to_string(m_done), std::to_string(m_cameras), std::to_string(m_failed)};
    if (m_done < m_cameras)
        if (auto left = Left(now)) {
            counts.push_back(TimeLeftText(*left));
            return {"Note", QT_TRANSLATE_NOOP("Note", "%1 of %2 done, %3 failed, %4"), std::move(counts)};
        }
    return {"Note", QT_TRANSLATE_NOOP("Note", "%1 of %2 done, %3 failed"), std::move(counts)};
}

Text TimeLeftText(std::chrono::seconds left) {
    const long long s = left.count();
    if (s < 60)
        return {"Note", QT_TRANSLATE_NOOP("Note", "about %1 s left"), {std::to_string(std::max<long long>(s, 1))}};
    return {"Note", QT_TRANSLATE_NOOP("Note", "about %1 min left"), {std::to_string((s + 30) / 60)}};
}
