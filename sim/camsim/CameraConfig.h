#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "discovery/WireProtocol.h"
#include "sim/camsim/LossPattern.h"

// Which search requests a simulated camera answers, and with which tag.
enum class Answers { Generic, Maker, Both };

// Misbehaviours a camera can be told to show (--fault NAME).
struct FaultModes {
    bool wrongPassword = false;         // every web request gets 401
    bool silent = false;                // no web server at all; discovery still answers
    bool hung = false;                  // the web port takes connections and never answers them
    bool noModel = false;               // the property query answers a page without model and version
    bool uploadRefused = false;         // upgrades answer an error and burn nothing
    bool olderAfterReboot = false;      // after an upgrade the version is one lower than before
    bool neverBack = false;             // after an upgrade or reset the camera stays silent
    bool noModelUntilMoved = false;     // like noModel until set-network moved it to 169.254.x.y
    bool trickle = false;               // every CGI answers 200, then a byte every 500 ms, never ending
    bool trickleUpload = false;         // only the upload's reply trickles, after the whole body
    bool uploadNoReply = false;         // the upload is read, then nothing is sent until the client leaves
    bool resetMidUpload = false;        // the upload's connection is reset halfway through the body
    bool unauthorizedWhenMoved = false; // like noModelUntilMoved, but at 169.254.x.y every request gets 401
    bool burnNoReply = false;           // the upload is taken and burnt, but its connection closes unanswered
    bool splitReply = false;            // the upload's and the query's answers arrive in two pieces

    // Sets the fault called name; false for an unknown name.
    bool set(const std::string& name);
    std::string describe() const; // comma-separated names, empty when none
};

// The names --fault accepts.
const std::vector<std::string>& FaultNames();

// Everything fixed about one simulated camera when it starts.
struct CameraConfig {
    std::string name = "camsim";
    Ipv4 ip{192, 168, 0, 20};
    Ipv4 netmask{255, 255, 255, 0};
    Ipv4 gateway{192, 168, 0, 1};
    Mac mac{0x02, 0xfe, 0xff, 0x00, 0x00, 0x01};
    Answers answers = Answers::Generic;
    int webPort = 80;
    std::uint8_t ifType = 0;
    std::optional<Ipv4> secondIp;                // carried by a later reply of the same search
    std::chrono::milliseconds searchWindow{500}; // answers this close together belong to one search
    std::string user = "admin";
    std::string password; // empty: set-network commands need no credentials
    std::string model = "IPC1234";
    std::string version = "V1.05";
    std::string hardware = "eth0,wifi0";
    FaultModes faults;
    LossPattern loseCommands; // set-network commands addressed to this MAC that never arrive
    LossPattern loseSearches; // search requests this camera would answer that never arrive

    bool answersRequest(CameraFamily request) const;
};

// The part of a camera that the network can change while it runs.
struct NetworkState {
    Ipv4 ip{};
    Ipv4 netmask{};
    Ipv4 gateway{};
    std::string name;
    std::chrono::steady_clock::time_point silentUntil{}; // a rebooting camera answers nothing
    std::chrono::steady_clock::time_point lastAnswer{};  // start of the search being answered
};

std::optional<Answers> ParseAnswers(const std::string& text); // "generic", "maker", "both"
const char* AnswersName(Answers answers);
int PrefixLength(const Ipv4& netmask); // -1 unless the mask is contiguous
std::string DescribeCamera(const CameraConfig& config);

// N cameras derived from one: distinct MACs 02:fe:00:xx:xx:xx and addresses 10.x.y.z with mask
// 255.0.0.0, or, from firstIp on, consecutive addresses that skip host octets 0 and 255 with the
// base's mask and gateway. The family alternates generic/maker unless a single family is forced.
std::vector<CameraConfig> MakeFleet(const CameraConfig& base, int count, std::optional<Answers> forced,
                                    std::optional<Ipv4> firstIp = std::nullopt);
