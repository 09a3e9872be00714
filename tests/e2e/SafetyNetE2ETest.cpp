// The technician's safety net on the virtual LAN: the model guard, the dry run, the job records,
// the reports and the console's progress lines.
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/e2e/CliFixture.h"

namespace {

class SafetyNetE2E : public CliFixture {
protected:
    std::string JobsFolder() const { return m_state.path() + "/flashwell/jobs"; }

    // The job files of one workflow, each line parsed.
    std::vector<std::vector<nlohmann::json>> Jobs(const std::string& workflow) {
        std::vector<std::vector<nlohmann::json>> jobs;
        for (const std::string& name : testsupport::ListFolder(JobsFolder())) {
            if (name.find("-" + workflow) == std::string::npos)
                continue;
            EXPECT_TRUE(std::regex_match(name, std::regex("[0-9]{8}T[0-9]{6}Z-" + workflow + "(-[0-9]+)?\\.jsonl")))
                << name;
            std::vector<nlohmann::json> lines;
            std::istringstream text(ReadWholeFile(JobsFolder() + "/" + name));
            for (std::string line; std::getline(text, line);)
                lines.push_back(nlohmann::json::parse(line));
            jobs.push_back(lines);
        }
        return jobs;
    }

    static bool Uploaded(VirtualLan& lan, int camera) {
        return lan.CameraLog(camera).find("firmwareupgrade.cgi") != std::string::npos;
    }
};

TEST_F(SafetyNetE2E, AnotherModelIsRefusedInTheSameJobThatFlashesTheRight) {
    VirtualLan lan({.cameras = {"--name Same --ip 192.168.0.21 --version V1.04 --burn-sec 1 --reboot-ms 1000",
                                "--name Other --ip 192.168.0.22 --model IPC9999 --version V1.04 --burn-sec 1 "
                                "--reboot-ms 1000"}});
    const std::string image = Image();
    CliRun unselected = Cli(lan, "upgrade " + image + " --wait 1", false);
    EXPECT_EQ(unselected.exitCode, 2);
    EXPECT_NE(unselected.errors.find("needs --select (use --select all for every listed camera)"), std::string::npos)
        << unselected.errors;

    CliRun guarded = Cli(lan, "upgrade " + image + " --select all --wait 1.5");
    EXPECT_EQ(guarded.exitCode, 1);
    EXPECT_EQ(guarded.byName["Same"]["status"], "UPGRADE SUCCESSFUL");
    EXPECT_EQ(guarded.byName["Other"]["status"], "Model mismatch");
    EXPECT_EQ(guarded.byName["Other"]["failed"], true);
    EXPECT_TRUE(Uploaded(lan, 1));
    EXPECT_FALSE(Uploaded(lan, 2)) << lan.CameraLog(2);

    CliRun lifted = Cli(lan, "upgrade " + image + " --select all --allow-model-mismatch --wait 1.5");
    EXPECT_EQ(lifted.exitCode, 0) << lifted.output;
    EXPECT_EQ(lifted.byName["Other"]["status"], "UPGRADE SUCCESSFUL");
    EXPECT_TRUE(Uploaded(lan, 2));
    EXPECT_EQ(Jobs("upgrade").size(), 2u) << "one file per job";
}

TEST_F(SafetyNetE2E, ADryRunUploadsNothingAndMovesNothing) {
    VirtualLan lan(
        {.cameras = {"--name Ready --ip 192.168.0.21 --version V1.04 --mac 02:00:00:00:07:01",
                     "--name Other --ip 192.168.0.22 --model IPC9999", "--name Wifi --ip 192.168.0.23 --wifi",
                     "--name Locked --ip 192.168.0.24 --fault wrong-password",
                     "--name Hidden --ip 192.168.0.25 --version V1.03 --fault no-model-until-moved",
                     "--name Gone --ip 192.168.0.26 --fault silent"}});
    CliRun plan = Cli(lan, "upgrade " + Image() + " --select all --dry-run --wait 1.5");
    EXPECT_EQ(plan.exitCode, 1) << "not every camera would be flashed";
    ASSERT_EQ(plan.byName.size(), 6u) << plan.output;
    const std::map<std::string, std::string> plans = {{"Ready", "flash"},  {"Other", "model-mismatch"},
                                                      {"Wifi", "wifi"},    {"Locked", "unauthorized"},
                                                      {"Hidden", "flash"}, {"Gone", "unreachable"}};
    for (const auto& [name, want] : plans)
        EXPECT_EQ(plan.byName[name]["plan"], want) << name;
    EXPECT_EQ(plan.byName["Ready"]["status"], "Would flash V1.04 -> V1.06");
    EXPECT_EQ(plan.byName["Ready"]["model"], "IPC1234");
    EXPECT_EQ(plan.byName["Ready"]["version"], "V1.04");
    EXPECT_EQ(plan.byName["Hidden"]["version"], "V1.03") << "asked at its link-local address";
    EXPECT_EQ(plan.byName["Other"]["model"], "IPC9999");
    EXPECT_TRUE(plan.byName["Gone"]["model"].is_null());
    for (int camera = 1; camera <= 6; ++camera)
        EXPECT_FALSE(Uploaded(lan, camera)) << lan.CameraLog(camera);
    EXPECT_TRUE(testsupport::ListFolder(JobsFolder()).empty());
    int rc = -1;
    EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "") << "the route the job added is gone";
    EXPECT_EQ(ReadWholeFile(m_state.path() + "/flashwell/journal.json").find("\"moved_to\""), std::string::npos);
    CliRun after = Cli(lan, "search --wait 1.5");
    EXPECT_EQ(after.byName["Hidden"]["ip"], "192.168.0.25") << "sent back to its own address";

    // Every selected camera would be flashed: exit 0, and the rows not selected have no plan.
    CliRun one = Cli(lan, "upgrade " + Image() + " --select 02:00:00:00:07:01 --dry-run --wait 1.5");
    EXPECT_EQ(one.exitCode, 0) << one.output;
    EXPECT_EQ(one.byName["Ready"]["plan"], "flash");
    EXPECT_TRUE(one.byName["Other"]["plan"].is_null());
}

TEST_F(SafetyNetE2E, RecordsAndReportsOfAnUpgradeAndAReAddressing) {
    VirtualLan lan({.cameras = {"--name Good --ip 192.168.0.21 --version V1.04 --burn-sec 1 --reboot-ms 1000 "
                                "--mac 02:00:00:00:08:01",
                                "--name Locked --ip 192.168.0.22 --fault wrong-password --mac 02:00:00:00:08:02"}});
    const std::string image = Image();
    CliRun job = Cli(lan, "--progress upgrade " + image + " --select all --wait 1.5 --report " + Path("up.json"));
    EXPECT_EQ(job.exitCode, 1);
    EXPECT_EQ(job.byName["Good"]["status"], "UPGRADE SUCCESSFUL") << "standard output keeps the final list only";
    // One line per Status change on standard error, which is not a terminal here.
    EXPECT_TRUE(
        std::regex_search(job.errors, std::regex("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2} Good \\(02:00:00:00:08:01\\) "
                                                 "Upgrade Status\\.\\.\\. 50%\n")))
        << job.errors;
    EXPECT_TRUE(std::regex_search(job.errors, std::regex("\\(02:00:00:00:08:01\\) UPGRADE SUCCESSFUL\n")));
    EXPECT_TRUE(std::regex_search(job.errors, std::regex("Locked \\(02:00:00:00:08:02\\) 401 Unauthorized\n")));

    auto jobs = Jobs("upgrade");
    ASSERT_EQ(jobs.size(), 1u);
    ASSERT_EQ(jobs[0].size(), 2u);
    std::string digest;
    ASSERT_EQ(testsupport::RunCommand("sha256sum " + testsupport::ShellQuote(image) + " | cut -c1-64", &digest), 0);
    digest.erase(digest.find_last_not_of('\n') + 1);
    for (const auto& r : jobs[0]) {
        const bool good = r["mac"] == "02:00:00:00:08:01";
        SCOPED_TRACE(r.dump());
        EXPECT_EQ(r["workflow"], "upgrade");
        EXPECT_EQ(r["adapter"], "eth0");
        EXPECT_EQ(r["name"], good ? "Good" : "Locked");
        EXPECT_EQ(r["ip_before"], good ? "192.168.0.21" : "192.168.0.22");
        EXPECT_EQ(r["ip_after"], r["ip_before"]);
        EXPECT_EQ(r["image"], image);
        EXPECT_EQ(r["image_sha256"], digest);
        EXPECT_EQ(r["image_version"], "V1.06");
        EXPECT_EQ(r["failed"], !good);
        if (good) {
            EXPECT_EQ(r["model"], "IPC1234");
            EXPECT_EQ(r["version_before"], "V1.04");
            EXPECT_EQ(r["version_after"], "V1.06");
            EXPECT_EQ(r["status"], "UPGRADE SUCCESSFUL");
        } else {
            EXPECT_TRUE(r["model"].is_null() && r["version_before"].is_null() && r["version_after"].is_null());
            EXPECT_EQ(r["status"], "401 Unauthorized");
        }
        EXPECT_TRUE(std::regex_match(r["started"].get<std::string>(),
                                     std::regex("20[0-9]{2}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z")));
    }
    // The report holds the same records as one array.
    const nlohmann::json report = nlohmann::json::parse(ReadWholeFile(Path("up.json")));
    ASSERT_TRUE(report.is_array());
    EXPECT_EQ(std::vector<nlohmann::json>(report.begin(), report.end()), jobs[0]);

    VirtualLan factory({.cameras = {"--name New1 --mac 02:00:00:00:09:01", "--name New2 --mac 02:00:00:00:09:02"}});
    CliRun readdress = Cli(factory, "auto-ip --range 40-250 --wait 1.5 --report " + Path("ip.csv"));
    EXPECT_EQ(readdress.exitCode, 0) << readdress.output;
    auto readdressing = Jobs("auto-ip");
    ASSERT_EQ(readdressing.size(), 1u);
    ASSERT_EQ(readdressing[0].size(), 2u);
    std::map<std::string, std::string> given;
    for (const auto& r : readdressing[0]) {
        EXPECT_EQ(r["ip_before"], "192.168.0.20");
        EXPECT_EQ(r["status"], "Seen at its new address");
        EXPECT_EQ(r["outcome"], "address-sent");
        EXPECT_TRUE(r["model"].is_null() && r["image"].is_null());
        given[r["name"]] = r["ip_after"];
    }
    EXPECT_EQ(given["New1"], readdress.byName["New1"]["ip"]) << "the closing search found it where the record says";
    EXPECT_EQ(given["New2"], readdress.byName["New2"]["ip"]);

    const std::string csv = ReadWholeFile(Path("ip.csv"));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(csv.substr(at, end - at));
    ASSERT_EQ(lines.size(), 3u) << csv;
    EXPECT_EQ(lines[0], "started,ended,workflow,adapter,mac,name,ip_before,ip_after,model,version_before,"
                        "version_after,image,image_sha256,image_version,status,failed,outcome");
    EXPECT_TRUE(
        std::regex_match(lines[1], std::regex("[^,]+Z,[^,]+Z,auto-ip,eth0,02:00:00:00:09:0[12],New[12],"
                                              "192\\.168\\.0\\.20,192\\.168\\.0\\.4[01],,,,,,,Seen at its new address,"
                                              "false,address-sent")))
        << lines[1];

    // A range with one address for two cameras: the one left out makes the run fail, though the
    // closing search lists it afresh.
    VirtualLan scarce({.cameras = {"--name New3 --mac 02:00:00:00:09:03", "--name New4 --mac 02:00:00:00:09:04"}});
    CliRun partly = Cli(scarce, "auto-ip --range 40-41 --wait 1.5 --report " + Path("scarce.json"));
    EXPECT_EQ(partly.exitCode, 1) << partly.output << partly.errors;
    const auto scarceReport = nlohmann::json::parse(ReadWholeFile(Path("scarce.json")));
    ASSERT_EQ(scarceReport.size(), 2u);
    EXPECT_EQ(scarceReport[1]["status"], "no free address left in the range");
    EXPECT_EQ(scarceReport[1]["failed"], true);
}

} // namespace
