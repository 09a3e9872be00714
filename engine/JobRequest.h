#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "discovery/WireProtocol.h"
#include "engine/FirmwareImage.h"
#include "util/Clock.h"
#include "webops/CameraWebClient.h"

enum class Workflow {
    Upgrade,
    CheckVersion,
    Reset,
    AutoIp,
    Homecoming, // the cameras an earlier run left away, sent home at start-up
};

// The workflow's name in job records, file names and reports.
const char* WorkflowName(Workflow workflow);

// The camera login as the fields held it when the button was pressed.
struct Login {
    std::string user;
    std::string password;
};

// One selected camera as the list knew it when the job was built: the job works from this copy
// and never reads the device table or a window field again.
struct Target {
    Mac mac{};
    std::array<char, 20> name{}; // the record's name field, NUL-terminated, as the commands carry it
    std::string displayName;     // the same as the list shows it (UTF-8)
    Ipv4 ip{};
    Ipv4 netmask{};
    Ipv4 gateway{};
    int webPort = 80;
    std::uint8_t ifType = 0;
    int kind = 0;               // 0 generic, 1 the maker's
    int row = -1;               // the list row the job's texts go to; none for a camera not listed
    bool sharesAddress = false; // another listed camera reports the same address
    // A camera an earlier run left away: where it is, and the journal's command that sends it home.
    std::string awayAt;
    std::vector<std::uint8_t> homeCommand;
};

// What the selected adapter is, for the commands that must leave through it.
struct JobAdapter {
    std::string interfaceName;
    std::string address; // its IPv4 address, the search requests' source
    unsigned index = 0;
    Mac mac{}; // seeds its choice of link-local addresses (RFC 3927)
};

// The re-addressing's range, as the two fields gave it, and what must not be handed out.
struct AddressRange {
    long start = 0;
    long end = 0;
    std::string startText, endText; // as typed, for the operator's note
    Ipv4 network{192, 168, 0, 0};   // the first three octets are used
    std::set<Ipv4> taken;           // held by a listed camera or the host
};

struct JobOptions {
    // How long a camera is given after its reboot countdown to report again.
    static constexpr Clock::Milliseconds kDefaultRebootTimeout{240'000};
    static constexpr std::size_t kMostAtOnce = 1024;

    bool dryRun = false;           // ask each camera and say what an upgrade would do; change nothing
    bool allowOtherModels = false; // flash an image made for another model
    bool skipCurrent = false;      // a camera that runs the image's version already gets no upload
    std::size_t parallel = 0;      // cameras uploading (or asked, in a check) at once; 0: the workflow's own way
    std::size_t firstWave = 0;     // these first cameras in list order must upgrade before the rest get the image
    Clock::Milliseconds rebootTimeout = kDefaultRebootTimeout;
};

// Everything a job needs to know, fixed when it is built.
struct JobRequest {
    Workflow workflow = Workflow::Upgrade;
    Login login;
    std::vector<Target> targets; // in list order
    JobAdapter adapter;
    std::shared_ptr<const FirmwareImage> image; // upgrades only
    AddressRange range;                         // re-addressing only
    JobOptions options;
};

// How many of the request's cameras work at once, 0 for every one: a check asks one at a time or
// --parallel's number (a dead camera costs seconds of time-outs), re-addressing takes one after
// another, an upgrade's uploads take turns when --parallel limits them.
std::size_t CamerasAtOnce(const JobRequest& request);
