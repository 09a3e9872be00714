#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CameraMachine.h"

// Steps one camera's state machine with no thread and no network: every step the machine asks
// for is answered by the script below and written to a log ("query 192.168.0.21", "wait 500",
// "move", "home", "home keep", ...), and every view it shows is kept in order.
struct MachineDriver {
    // The answers; each sees the step, so a script can answer by address or by turn.
    std::function<input::Queried(const step::Query&)> query = [](const step::Query&) { return input::Queried{}; };
    std::function<input::UploadAnswered(const step::Upload&)> upload = [](const step::Upload&) {
        return input::UploadAnswered{};
    };
    std::function<input::ResetAnswered(const step::Reset&)> reset = [](const step::Reset&) {
        return input::ResetAnswered{};
    };
    std::function<input::Moved()> move = [this] {
        return input::Moved{MoveResult::Moved, "169.254.0." + std::to_string(++moves)};
    };
    std::function<bool(const std::string&)> ping = [](const std::string&) { return true; };
    // Whether the camera shows itself at the address within the window; by default it does.
    std::function<bool(const step::AwaitSighting&)> seen = [](const step::AwaitSighting&) { return true; };
    std::function<std::optional<Ipv4>()> allocate = [] { return std::nullopt; };
    // Whether its turn to upload is granted (false: the first wave failed).
    std::function<bool()> turn = [] { return true; };
    // Runs before each step is answered, e.g. to stop the machine at a given step.
    std::function<void(CameraMachine&, const std::string& logged)> before;

    std::vector<std::string> log;
    std::vector<CameraView> views;
    int moves = 0;
    // The job's time as the machine is told it: the waits it asked for, plus what a script adds.
    Clock::Milliseconds now{0};

    static input::Queried ModelAndVersion(const char* model, const char* version) {
        input::Queried q;
        q.result = RequestResult::ModelAndVersion;
        std::strncpy(q.info.model.data(), model, q.info.model.size() - 1);
        std::strncpy(q.info.version.data(), version, q.info.version.size() - 1);
        return q;
    }
    static input::Queried Answer(RequestResult result) {
        input::Queried q;
        q.result = result;
        return q;
    }
    static input::UploadAnswered Accepted(const char* burnSeconds = "0") {
        input::UploadAnswered u;
        u.result = RequestResult::ReplyWithoutContent;
        u.reply.bodySent = u.reply.answered = true;
        std::strncpy(u.reply.burnTime.data(), burnSeconds, u.reply.burnTime.size() - 1);
        return u;
    }

    // Runs the machine to its end (at most a bound of steps) and returns its outcome.
    const CameraOutcome& Run(CameraMachine& machine, int bound = 10000) {
        machine.SetNow(now);
        Action action = machine.Start();
        take(machine);
        for (int steps = 0; !std::holds_alternative<step::Finish>(action) && steps < bound; ++steps) {
            const std::string logged = describe(action);
            log.push_back(logged);
            if (before)
                before(machine, logged);
            Input in = answer(action);
            machine.SetNow(now);
            action = machine.On(in);
            take(machine);
        }
        EXPECT_TRUE(machine.Finished()) << "the machine did not end within " << bound << " steps";
        return machine.Outcome();
    }

    // The log without waits and sightings, for tests about what reached the camera.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (const std::string& line : log)
            if (!line.starts_with("wait") && !line.starts_with("await") && line != "turn")
                calls.push_back(line);
        return calls;
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& line : log)
            n += line.starts_with(prefix) ? 1 : 0;
        return n;
    }
    int Exactly(const std::string& line) const { return static_cast<int>(std::count(log.begin(), log.end(), line)); }
    std::vector<Phase> Phases() const {
        std::vector<Phase> phases;
        for (const CameraView& v : views)
            if (phases.empty() || phases.back() != v.phase)
                phases.push_back(v.phase);
        return phases;
    }

private:
    void take(CameraMachine& machine) {
        for (const CameraView& v : machine.TakeViews())
            views.push_back(v);
    }
    static std::string describe(const Action& action) {
        if (const auto* q = std::get_if<step::Query>(&action))
            return "query " + q->host;
        if (const auto* u = std::get_if<step::Upload>(&action))
            return "upload " + u->host;
        if (const auto* r = std::get_if<step::Reset>(&action))
            return "reset " + r->host;
        if (std::holds_alternative<step::Move>(action))
            return "move";
        if (std::holds_alternative<step::SendHome>(action))
            return "home";
        if (const auto* again = std::get_if<step::SendDetour>(&action))
            return "resend " + again->address;
        if (const auto* a = std::get_if<step::AwaitSighting>(&action))
            return "await " + FormatIpv4(a->at);
        if (std::holds_alternative<step::Forget>(action))
            return "forget";
        if (const auto* p = std::get_if<step::Ping>(&action))
            return "ping " + p->address;
        if (const auto* w = std::get_if<step::Wait>(&action))
            return "wait " + std::to_string(w->duration.count());
        if (std::holds_alternative<step::Allocate>(action))
            return "allocate";
        if (const auto* r = std::get_if<step::Readdress>(&action))
            return "readdress " + FormatIpv4(r->ip) + " gw " + FormatIpv4(r->gateway);
        if (std::holds_alternative<step::AwaitTurn>(action))
            return "turn";
        return "finish";
    }
    Input answer(const Action& action) {
        if (const auto* q = std::get_if<step::Query>(&action))
            return query(*q);
        if (const auto* u = std::get_if<step::Upload>(&action))
            return upload(*u);
        if (const auto* r = std::get_if<step::Reset>(&action))
            return reset(*r);
        if (std::holds_alternative<step::Move>(action))
            return move();
        if (const auto* p = std::get_if<step::Ping>(&action))
            return input::Pinged{ping(p->address)};
        if (std::holds_alternative<step::Allocate>(action))
            return input::Allocated{allocate()};
        if (const auto* a = std::get_if<step::AwaitSighting>(&action)) {
            if (seen(*a))
                return input::Sighted{a->at};
            now += a->window;
            return input::Elapsed{};
        }
        if (const auto* w = std::get_if<step::Wait>(&action)) {
            now += w->duration;
            return input::Elapsed{};
        }
        if (std::holds_alternative<step::AwaitTurn>(action))
            return input::Turn{turn()};
        return input::Sent{};
    }
};

inline Target MakeTarget(Ipv4 ip, std::uint8_t macLast = 1) {
    Target t;
    t.mac = {2, 0, 0, 0, 0, macLast};
    t.ip = ip;
    t.netmask = {255, 255, 255, 0};
    t.gateway = {ip[0], ip[1], ip[2], 1};
    t.displayName = "cam";
    return t;
}
