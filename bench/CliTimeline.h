#pragma once

#include <optional>
#include <string>
#include <vector>

class VirtualLan;

// One run of flashwell-cli in a virtual LAN's host namespace, with the moment each line of its
// standard error arrived: the benchmarks time a job's phases by its --progress lines.
struct CliTimeline {
    struct Line {
        double at = 0; // seconds since the command started
        std::string text;
    };
    int exitCode = -1;
    double seconds = 0; // the whole command, search included
    std::string output; // standard output
    std::vector<Line> errors;

    // When the first and the last line holding text arrived; nothing when none did.
    std::optional<double> First(const std::string& text) const;
    std::optional<double> Last(const std::string& text) const;
    // The MAC address a progress line names, or empty.
    static std::string MacOf(const std::string& line);
};

// Runs the console with env (NAME=VALUE entries) and args; its standard input is empty.
CliTimeline RunCliTimed(const VirtualLan& lan, const std::vector<std::string>& env,
                        const std::vector<std::string>& args);
