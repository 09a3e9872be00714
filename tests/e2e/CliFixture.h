#pragma once

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"

// What one run of the console front end printed and how it ended.
struct CliRun {
    int exitCode = -1;
    std::string output, errors;
    std::map<std::string, nlohmann::json> byName;
    std::vector<nlohmann::json> devices;
};

using testsupport::ReadWholeFile;

// Runs flashwell-cli in a virtual camera LAN's host namespace with a state folder of the test's own
// and the workflows' waits 100 times shorter.
class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto why = VirtualLan::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        ::setenv("FLASHWELL_TIME_SCALE", "0.01", 1);
    }

    std::string Env() const {
        // The stored login of a home of the test's own: the operator's is never read or moved.
        return "env -u DBUS_SESSION_BUS_ADDRESS FLASHWELL_TIME_SCALE=0.01 XDG_STATE_HOME=" +
               testsupport::ShellQuote(m_stateHome) + " HOME=" + testsupport::ShellQuote(m_state.path()) +
               " XDG_CONFIG_HOME=" + testsupport::ShellQuote(ConfigHome()) + " ";
    }

    // prefix: what the command runs under (capsh, setpriv).
    CliRun Cli(VirtualLan& lan, const std::string& args, bool json = true, const std::string& prefix = "") {
        CliRun r;
        const std::string errors = m_state.path() + "/stderr";
        r.output = lan.RunInHost(prefix + Env() + m_program + (json ? " --json " : " ") + args + " 2>" +
                                     testsupport::ShellQuote(errors),
                                 r.exitCode);
        r.errors = ReadWholeFile(errors);
        if (!json || r.exitCode == 2)
            return r;
        try {
            const nlohmann::json doc = nlohmann::json::parse(r.output);
            for (const auto& d : doc["devices"]) {
                r.devices.push_back(d);
                r.byName[d["name"].get<std::string>()] = d;
            }
        } catch (const std::exception&) {
            ADD_FAILURE() << "not JSON: " << r.output << r.errors;
        }
        return r;
    }

    // Starts the console in the background; its process id. Output and errors go to files.
    int CliInBackground(VirtualLan& lan, const std::string& args, const std::string& name = "background",
                        const std::string& prefix = "") {
        int rc = -1;
        std::string pid = lan.RunInHost("sh -c " + testsupport::ShellQuote(prefix + Env() + m_program + " --json " +
                                                                           args + " >" + Path(name + ".out") + " 2>" +
                                                                           Path(name + ".err") + " & echo $!"),
                                        rc);
        while (!pid.empty() && pid.back() == '\n')
            pid.pop_back();
        return pid.empty() ? -1 : std::stoi(pid);
    }

    std::string Image(const std::string& digits = "106", std::size_t size = std::size_t{32} * 1024) {
        return testsupport::WriteFirmwareImage(m_state.path(), digits, size);
    }
    std::string Path(const std::string& name) const { return m_state.path() + "/" + name; }
    // XDG_CONFIG_HOME of the runs, where the stored login is kept.
    std::string ConfigHome() const { return m_state.path() + "/config"; }
    std::string Journal() const { return ReadWholeFile(m_stateHome + "/flashwell/journal.json"); }
    // Where XDG_STATE_HOME points for the runs; a test may point it at something that cannot hold it.
    void SetStateHome(const std::string& folder) { m_stateHome = folder; }

    // The first group of every match of the pattern in the text.
    static std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
        std::vector<std::string> found;
        const std::regex re(pattern);
        for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
            found.push_back((*it)[1]);
        return found;
    }

    testsupport::ScratchDir m_state;
    std::string m_stateHome = m_state.path();
    std::string m_program = testsupport::ShellQuote(CliPath()); // a test may run a copy of its own
};
