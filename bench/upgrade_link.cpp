// flashwell-cli upgrades N simulated cameras through the host's card shaped to one link of RATE,
// as on a technician's bench: the job's time as a share of the time the link needs for the bodies,
// the upload span apart from the rest, how evenly the uploads shared the link, and every upload
// that was cut or started again.
// Usage: upgrade_link [--tcp NAME] [N] [IMAGE_MIB] [RATE] [CLI OPTION...]   (default 24 4 8mbit);
// needs root. --tcp picks the host's congestion control (cubic is Debian's; default: as the system
// has it). Options after the rate go to the upgrade command, e.g. --parallel 8.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/BenchSupport.h"
#include "bench/CliTimeline.h"
#include "tests/support/VirtualLan.h"

namespace {

// Bits per second of a rate as tc reads it (decimal units); 0 when it is not one.
double rateBits(const std::string& rate) {
    static const std::regex form("([0-9]+)(bit|kbit|mbit|gbit)");
    std::smatch m;
    if (!std::regex_match(rate, m, form))
        return 0;
    const double number = std::stod(m[1].str());
    const std::string unit = m[2].str();
    return number * (unit == "kbit" ? 1e3 : unit == "mbit" ? 1e6 : unit == "gbit" ? 1e9 : 1);
}

// A counter of the host namespace's TCP statistics (/proc/net/snmp), e.g. RetransSegs.
long tcpCounter(const VirtualLan& lan, const std::string& name) {
    int rc = -1;
    std::istringstream snmp(lan.RunInHost("cat /proc/net/snmp", rc));
    std::vector<std::string> names;
    for (std::string line; std::getline(snmp, line);) {
        if (line.rfind("Tcp:", 0) != 0)
            continue;
        std::istringstream words(line.substr(4));
        std::vector<std::string> fields{std::istream_iterator<std::string>(words), {}};
        if (names.empty()) {
            names = fields;
            continue;
        }
        for (std::size_t i = 0; i < names.size() && i < fields.size(); ++i)
            if (names[i] == name)
                return std::stol(fields[i]);
    }
    return -1;
}

// What the token bucket on the host's card dropped so far.
long bucketDrops(const VirtualLan& lan) {
    int rc = -1;
    const std::string shown = lan.RunInHost("tc -s qdisc show dev eth0", rc);
    std::smatch m;
    return std::regex_search(shown, m, std::regex("dropped ([0-9]+)")) ? std::stol(m[1].str()) : -1;
}

struct Uploads {
    int started = 0;  // upload requests the cameras saw
    int cut = 0;      // of them, bodies that did not arrive whole
    int cameras = 0;  // cameras that saw at least one
    int repeated = 0; // cameras that saw more than one
};

// From the simulators' own logs: one line per upload request, whatever became of it.
Uploads countUploads(const VirtualLan& lan) {
    std::ifstream log(lan.StateDir() + "/cam1.log");
    std::map<std::string, int> perCamera;
    Uploads u;
    for (std::string line; std::getline(log, line);) {
        const std::size_t at = line.find(": http POST /firmwareupgrade.cgi");
        if (at == std::string::npos)
            continue;
        ++u.started;
        u.cut += line.find("matched") == std::string::npos;
        ++perCamera[line.substr(0, at)];
    }
    u.cameras = static_cast<int>(perCamera.size());
    for (const auto& [camera, n] : perCamera)
        u.repeated += n > 1;
    return u;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(std::lround(share * static_cast<double>(values.size() - 1)))];
}

int run(int argc, char** argv) {
    if (auto why = VirtualLan::Unavailable(); !why.empty()) {
        std::fprintf(stderr, "upgrade_link: %s\n", why.c_str());
        return 77;
    }
    std::string tcp;
    if (argc > 2 && std::string(argv[1]) == "--tcp") {
        tcp = argv[2];
        argv += 2;
        argc -= 2;
    }
    const int n = argc > 1 ? std::atoi(argv[1]) : 24;
    const std::size_t mib = argc > 2 ? static_cast<std::size_t>(std::atoi(argv[2])) : 4;
    const std::string rate = argc > 3 ? argv[3] : "8mbit";
    std::vector<std::string> extra(argv + std::min(argc, 4), argv + argc);
    const double bits = rateBits(rate);
    if (n < 1 || n > 500 || mib < 1 || bits <= 0) {
        std::fprintf(stderr,
                     "usage: upgrade_link [--tcp NAME] [N 1-500] [IMAGE_MIB] [RATE e.g. 8mbit] [CLI OPTION...]\n");
        return 2;
    }
    // The reboot countdown and the burn are scaled away; the link is not.
    const char* scaleText = std::getenv("FLASHWELL_TIME_SCALE");
    const std::string scale = scaleText && *scaleText ? scaleText : "0.01";
    ::setenv("FLASHWELL_TIME_SCALE", scale.c_str(), 1);

    testsupport::ScratchDir scratch;
    const std::string image = WriteBenchImage(scratch.path(), "106", mib);
    const std::string report = scratch.path() + "/report.json";
    VirtualLan lan({.cameras = {"--fleet " + std::to_string(n) + " --fleet-web " + std::to_string(n) +
                                " --fleet-base 192.168.1.1 --mask 255.255.0.0 --version V1.04"
                                " --burn-sec 2 --reboot-ms 2000"},
                    .hostIp = "192.168.0.10/16",
                    .hostRate = rate,
                    .idleCameras = true});
    int rc = -1;
    if (!tcp.empty()) {
        // By the route: a namespace may not pick an algorithm the system does not allow for all.
        lan.RunInHost(
            "ip route replace 192.168.0.0/16 dev eth0 proto kernel scope link src 192.168.0.10 congctl " + tcp, rc);
        if (rc != 0) {
            std::fprintf(stderr, "upgrade_link: no congestion control %s here\n", tcp.c_str());
            return 2;
        }
    }
    std::string congestion = tcp;
    if (congestion.empty()) {
        congestion = lan.RunInHost("cat /proc/sys/net/ipv4/tcp_congestion_control", rc);
        congestion.erase(congestion.find_last_not_of(" \n") + 1);
    }
    const long retransBefore = tcpCounter(lan, "RetransSegs");

    std::vector<std::string> args{"--adapter", "eth0", "--progress", "--json", "upgrade",  image,
                                  "--select",  "all",  "--wait",     "2",      "--report", report};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliTimeline run =
        RunCliTimed(lan, {"FLASHWELL_TIME_SCALE=" + scale, "XDG_STATE_HOME=" + scratch.path() + "/state"}, args);

    const long retrans = tcpCounter(lan, "RetransSegs") - retransBefore;
    const long drops = bucketDrops(lan);
    const Uploads uploads = countUploads(lan);

    int upgraded = 0;
    int records = 0;
    try {
        for (const auto& record : nlohmann::json::parse(std::ifstream(report))) {
            ++records;
            upgraded += record.value("outcome", "") == "upgraded";
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "upgrade_link: no report: %s\n", e.what());
    }

    // Each camera's upload: from its "File Uploading..." to its "File uploaded successfully".
    std::map<std::string, std::pair<double, double>> spans;
    for (const CliTimeline::Line& line : run.errors) {
        const std::string mac = CliTimeline::MacOf(line.text);
        if (mac.empty())
            continue;
        if (line.text.find("File Uploading...") != std::string::npos && !spans.contains(mac))
            spans[mac] = {line.at, -1};
        else if (line.text.find("File uploaded successfully") != std::string::npos && spans.contains(mac))
            spans[mac].second = line.at;
    }
    std::vector<double> each;
    for (const auto& [mac, span] : spans)
        if (span.second >= 0)
            each.push_back(span.second - span.first);

    const double bodyBytes = static_cast<double>(mib) * 1024 * 1024 + 272;
    const double linkSeconds = static_cast<double>(n) * bodyBytes * 8 / bits;
    double jobStart = run.seconds;
    double jobEnd = 0;
    for (const CliTimeline::Line& line : run.errors)
        if (!CliTimeline::MacOf(line.text).empty()) {
            jobStart = std::min(jobStart, line.at);
            jobEnd = std::max(jobEnd, line.at);
        }
    const double uploadStart = run.First("File Uploading...").value_or(0);
    const double uploadEnd = run.Last("File uploaded successfully").value_or(0);
    std::string options;
    for (const std::string& o : extra)
        options += " " + o;

    std::printf("cameras            %d, image %zu MiB, link %s (host's eth0, tc tbf), time scale %s, TCP %s\n", n, mib,
                rate.c_str(), scale.c_str(), congestion.c_str());
    std::printf("options            upgrade --select all --wait 2%s\n", options.c_str());
    std::printf("link's time        %.1f s for %d bodies of %.0f bytes\n", linkSeconds, n, bodyBytes);
    std::printf("upload span        %.1f s  %.3f x the link's time (first upload started to last one taken)\n",
                uploadEnd - uploadStart, (uploadEnd - uploadStart) / linkSeconds);
    std::printf("job                %.1f s  %.3f x (first to last progress line: queries, uploads, burn, "
                "reboot, verify)\n",
                jobEnd - jobStart, (jobEnd - jobStart) / linkSeconds);
    std::printf("whole command      %.1f s  %.3f x (with the search and the start)\n", run.seconds,
                run.seconds / linkSeconds);
    std::printf("each upload        min %.1f s, median %.1f s, max %.1f s (%zu timed)\n", percentile(each, 0),
                percentile(each, 0.5), percentile(each, 1), each.size());
    std::printf("uploads            %d started at %d cameras, %d cut, %d cameras sent it more than once\n",
                uploads.started, uploads.cameras, uploads.cut, uploads.repeated);
    std::printf("TCP                %ld segments sent again, %ld packets dropped by the bucket\n", retrans, drops);
    std::printf("result             %d of %d upgraded (%d records), exit %d\n", upgraded, n, records, run.exitCode);
    const bool met =
        (jobEnd - jobStart) / linkSeconds <= 1.1 && uploads.cut == 0 && uploads.repeated == 0 && upgraded == n;
    std::printf("goal (job at most 1.1 x the link's time, no cut upload, all upgraded): %s\n", met ? "met" : "MISSED");
    if (upgraded != n) {
        for (const CliTimeline::Line& line : run.errors)
            if (CliTimeline::MacOf(line.text).empty())
                std::printf("  stderr: %s\n", line.text.c_str());
        try {
            const nlohmann::json doc = nlohmann::json::parse(run.output);
            for (const auto& d : doc["devices"])
                if (d.value("failed", false))
                    std::printf("  %s %s: %s\n", d.value("name", "").c_str(), d.value("mac", "").c_str(),
                                d.value("status", "").c_str());
        } catch (const std::exception&) {
            std::printf("  output: %s\n", run.output.substr(0, 400).c_str());
        }
    }
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "upgrade_link: %s\n", e.what());
        return 1;
    }
}
