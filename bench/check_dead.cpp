// flashwell-cli checks the versions of LIVE simulated cameras and DEAD ones that answer the search
// but whose web side hangs: the job's time, against the time one dead camera takes alone.
// Usage: check_dead [LIVE] [DEAD] [CLI OPTION...]   (default 180 20); needs root. Options after the
// counts go to the check-version command, e.g. --parallel 32.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/CliTimeline.h"
#include "tests/support/VirtualLan.h"

namespace {

struct Check {
    double seconds = 0; // the whole command
    int read = 0;       // cameras whose version was read
    int offline = 0;    // cameras the check calls offline
    int exitCode = -1;
};

Check check(const VirtualLan& lan, const std::vector<std::string>& env, std::vector<std::string> args) {
    args.insert(args.begin(), {"--adapter", "eth0", "--json"});
    const CliTimeline run = RunCliTimed(lan, env, args);
    Check c;
    c.seconds = run.seconds;
    c.exitCode = run.exitCode;
    try {
        const nlohmann::json doc = nlohmann::json::parse(run.output);
        for (const auto& d : doc["devices"]) {
            const std::string status = d.value("status", "");
            c.read += status == "V1.04";
            c.offline += status == "Device offline";
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "check_dead: %s\n", e.what());
    }
    if (c.read + c.offline == 0) {
        std::fprintf(stderr, "check_dead: nothing read (exit %d): %s\n", c.exitCode, run.output.substr(0, 300).c_str());
        for (const CliTimeline::Line& line : run.errors)
            std::fprintf(stderr, "  %s\n", line.text.c_str());
    }
    return c;
}

} // namespace

int main(int argc, char** argv) {
    if (auto why = VirtualLan::Unavailable(); !why.empty()) {
        std::fprintf(stderr, "check_dead: %s\n", why.c_str());
        return 77;
    }
    const int live = argc > 1 ? std::atoi(argv[1]) : 180;
    const int dead = argc > 2 ? std::atoi(argv[2]) : 20;
    const std::vector<std::string> extra(argv + std::min(argc, 3), argv + argc);
    if (live < 1 || live > 500 || dead < 1 || dead > 200) {
        std::fprintf(stderr, "usage: check_dead [LIVE 1-500] [DEAD 1-200] [CLI OPTION...]\n");
        return 2;
    }
    // The check's pauses are real, as on a bench; its HTTP time-outs are never scaled anyway.
    const char* scaleText = std::getenv("FLASHWELL_TIME_SCALE");
    const std::string scale = scaleText && *scaleText ? scaleText : "1";
    testsupport::ScratchDir scratch;
    const std::vector<std::string> env{"FLASHWELL_TIME_SCALE=" + scale, "XDG_STATE_HOME=" + scratch.path() + "/state"};
    const std::string deadOptions = " --mask 255.255.0.0 --fault hung --version V1.04";
    // A check asks every listed camera: one dead camera alone is a bench of its own.
    Check one;
    double oneSearch = 0;
    {
        VirtualLan lan({.cameras = {"--name Dead --ip 192.168.2.1" + deadOptions},
                        .hostIp = "192.168.0.10/16",
                        .idleCameras = true});
        // The start, the search and the end cost the same in every command: a search alone measures them.
        oneSearch = RunCliTimed(lan, env, {"--adapter", "eth0", "search", "--wait", "2"}).seconds;
        one = check(lan, env, {"check-version", "--wait", "2"});
    }
    VirtualLan::Options options;
    options.hostIp = "192.168.0.10/16";
    options.idleCameras = true;
    options.cameras.push_back("--fleet " + std::to_string(live) + " --fleet-web " + std::to_string(live) +
                              " --fleet-base 192.168.1.1 --mask 255.255.0.0 --version V1.04");
    for (int i = 1; i <= dead; ++i)
        options.cameras.push_back("--name Dead" + std::to_string(i) + " --ip 192.168.2." + std::to_string(i) +
                                  deadOptions);
    VirtualLan lan(options);
    const CliTimeline search = RunCliTimed(lan, env, {"--adapter", "eth0", "search", "--wait", "2"});
    std::vector<std::string> args{"check-version", "--wait", "2"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Check all = check(lan, env, args);

    std::string given;
    for (const std::string& o : extra)
        given += " " + o;
    const double oneJob = one.seconds - oneSearch;
    const double allJob = all.seconds - search.seconds;
    std::printf("cameras            %d live, %d dead (they answer the search; their web side hangs), time scale %s\n",
                live, dead, scale.c_str());
    std::printf("search alone       %.2f s, %.2f s with one camera (the start, a search of 2 s and the end: taken "
                "off below)\n",
                search.seconds, oneSearch);
    std::printf("one dead camera    %.2f s alone (%d offline)\n", oneJob, one.offline);
    std::printf("check of all       %.2f s  %.2f x one dead camera (check-version%s; %d read, %d offline)\n", allJob,
                allJob / oneJob, given.c_str(), all.read, all.offline);
    const bool met = allJob <= 2 * oneJob && all.read == live && all.offline == dead;
    std::printf("goal (within twice one dead camera, every camera right): %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
