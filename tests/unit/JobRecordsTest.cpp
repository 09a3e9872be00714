// The job record writer and the CSV it shares with the reports.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/Csv.h"
#include "app/JobRecords.h"
#include "tests/support/TestSupport.h"

namespace {

std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::chrono::system_clock::time_point at(std::time_t seconds) {
    return std::chrono::system_clock::from_time_t(seconds);
}

} // namespace

TEST(CsvTest, QuotesOnlyWhatNeedsItAndDoublesQuotes) {
    EXPECT_EQ(CsvField("plain text"), "plain text");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("\""), "\"\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
    // A missing value is an empty field, not the text "null"; lines end in CRLF.
    EXPECT_EQ(CsvLine({"a", std::nullopt, "b,c", ""}), "a,,\"b,c\",\r\n");
    EXPECT_EQ(CsvLine({}), "\r\n");
    // A camera's name is the camera's to choose: it never runs as a formula, nor breaks a line.
    EXPECT_EQ(CsvLine({"=HYPERLINK(\"x\")", "@SUM(1)", "+1", "-1", "a=b", "two\nlines\x1b[2J"}),
              "\"'=HYPERLINK(\"\"x\"\")\",'@SUM(1),'+1,'-1,a=b,two?lines?[2J\r\n");
}

TEST(JobRecordsTest, RecordFieldsInOrderWithNullsForWhatIsNotKnown) {
    CameraRecord r;
    r.started = "2026-12-08T14:00:00Z";
    r.ended = "2026-12-08T14:01:00Z";
    r.workflow = "upgrade";
    r.adapter = "eth0";
    r.mac = "02:00:00:00:00:01";
    r.name = std::string("cam\xff,\"1\"");
    r.ipBefore = "192.168.0.20";
    r.status = "Device offline!";
    r.failed = true;
    r.outcome = "offline";
    const std::string json = RecordJson(r);
    EXPECT_EQ(json.find('\n'), std::string::npos) << "one record, one line";
    auto parsed = nlohmann::ordered_json::parse(json);
    std::vector<std::string> keys;
    for (auto& [key, value] : parsed.items())
        keys.push_back(key);
    EXPECT_EQ(keys, RecordFields());
    EXPECT_EQ(keys.front(), "started");
    EXPECT_EQ(keys.back(), "outcome") << "the outcome's name comes last, after the Status it stands behind";
    EXPECT_TRUE(parsed["ip_after"].is_null());
    EXPECT_TRUE(parsed["image_sha256"].is_null());
    EXPECT_EQ(parsed["failed"], true);
    EXPECT_EQ(parsed["outcome"], "offline");
    // A name from the network that is not UTF-8 is written, not refused.
    EXPECT_EQ(parsed["name"], "cam\xEF\xBF\xBD,\"1\"");

    EXPECT_EQ(RecordCsv(r), "2026-12-08T14:00:00Z,2026-12-08T14:01:00Z,upgrade,eth0,02:00:00:00:00:01,"
                            "\"cam\xEF\xBF\xBD,\"\"1\"\"\",192.168.0.20,,,,,,,,Device offline!,true,offline\r\n");
    r.outcome.clear();
    EXPECT_TRUE(nlohmann::json::parse(RecordJson(r))["outcome"].is_null()) << "a record outside a job names none";
}

TEST(JobRecordsTest, EachJobGetsAFileOfItsOwnAndOldFilesStayAsTheyWere) {
    testsupport::ScratchDir scratch;
    const std::string folder = scratch.path() + "/state/flashwell/jobs";
    JobRecords records(folder);
    EXPECT_EQ(IsoUtc(at(1796738400)), "2026-12-08T14:00:00Z");

    ASSERT_TRUE(records.Begin("upgrade", at(1796738400)));
    EXPECT_EQ(records.Path(), folder + "/20261208T140000Z-upgrade.jsonl");
    CameraRecord a;
    a.mac = "02:00:00:00:00:01";
    a.status = "UPGRADE SUCCESSFUL";
    records.Append(a);
    // Written as soon as the camera ends, before the job does.
    auto lines = fileLines(records.Path());
    ASSERT_EQ(lines.size(), 1u);
    auto first = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(first["started"], "2026-12-08T14:00:00Z");
    EXPECT_EQ(first["workflow"], "upgrade");
    EXPECT_EQ(first["mac"], "02:00:00:00:00:01");
    EXPECT_FALSE(first["ended"].get<std::string>().empty());

    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the records name the operator's cameras";
    ASSERT_EQ(::stat(records.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A second job in the same second: a file of its own, the first left as it was.
    const std::string firstPath = records.Path();
    ASSERT_TRUE(records.Begin("upgrade", at(1796738400)));
    EXPECT_EQ(records.Path(), folder + "/20261208T140000Z-upgrade-2.jsonl");
    CameraRecord b;
    b.mac = "02:00:00:00:00:02";
    records.Append(b);
    records.Append(b);
    EXPECT_EQ(fileLines(firstPath), lines);
    EXPECT_EQ(fileLines(records.Path()).size(), 2u);
    EXPECT_EQ(records.Records().size(), 2u) << "the records in memory are this job's only";
    EXPECT_EQ(testsupport::ListFolder(folder).size(), 2u);
}

TEST(JobRecordsTest, AFolderThatCannotBeMadeIsReportedAndTheJobGoesOn) {
    testsupport::ScratchDir scratch;
    std::ofstream(scratch.path() + "/file") << "x";
    JobRecords blocked(scratch.path() + "/file/jobs");
    EXPECT_FALSE(blocked.Begin("reset", at(0)));
    blocked.Append(CameraRecord{});
    EXPECT_EQ(blocked.Records().size(), 1u) << "kept in memory for a report";
    EXPECT_FALSE(blocked.CreateFolder());

    // A dry run after a job: nothing more reaches the last job's file.
    JobRecords records(scratch.path() + "/jobs");
    ASSERT_TRUE(records.Begin("upgrade", at(0)));
    records.Append(CameraRecord{});
    const std::string last = records.Path();
    records.Skip();
    records.Append(CameraRecord{});
    EXPECT_TRUE(records.Records().empty());
    std::ifstream written(last);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>(), '\n'), 1);

    JobRecords nowhere("");
    EXPECT_FALSE(nowhere.Begin("reset", at(0)));
    EXPECT_FALSE(nowhere.CreateFolder());
}

// A record whose "failed" was null ended --select failed with a type_error (exit 134), and a file
// stamped 2099 by a wrong clock won over every real job.
TEST(JobRecordsTest, TheNewestJobIsTheOneWhoseRecordsEndedLastAndDamagedLinesAreSkipped) {
    testsupport::ScratchDir dir;
    const auto write = [&](const std::string& name, const std::vector<std::string>& lines) {
        std::ofstream file(dir.path() + "/" + name);
        for (const std::string& line : lines)
            file << line << "\n";
    };
    const auto record = [](const std::string& mac, const std::string& failed, const std::string& ended,
                           const std::string& adapter = "eth0") {
        return R"({"adapter":")" + adapter + R"(","mac":")" + mac + R"(","failed":)" + failed + R"(,"ended":")" +
               ended + R"("})";
    };
    const auto now = at(1'765'000'000); // 2025-12-06T05:46:40Z
    write("20251205T100000Z-upgrade.jsonl",
          {record("02:00:00:00:00:01", "true", "2025-12-05T10:01:00Z"), R"({"adapter":"eth0","mac":"x","failed":null})",
           "{\"adapter\":", "", record("02:00:00:00:00:02", "false", "2025-12-05T10:01:05Z"),
           record("02:00:00:00:00:09", "true", "2025-12-05T10:01:06Z", "eth1")});
    write("20991231T235959Z-upgrade.jsonl", {record("02:00:00:00:00:03", "true", "2099-12-31T23:59:59Z")});
    write("20251204T100000Z-upgrade.jsonl", {record("02:00:00:00:00:04", "true", "2025-12-04T10:00:01Z")});
    write("20251206T000000Z-reset.jsonl", {record("02:00:00:00:00:05", "true", "2025-12-06T00:00:01Z")});

    const auto job = NewestRecordedJob(dir.path(), "upgrade", "eth0", now);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->path, dir.path() + "/20251205T100000Z-upgrade.jsonl");
    EXPECT_EQ(job->failed, std::vector<std::string>{"02:00:00:00:00:01"}) << "eth1's camera is another card's";
    EXPECT_EQ(job->damaged, 2u) << "the null and the cut line";
    EXPECT_EQ(job->future, 1u) << "the record from a clock ahead is left out, and said so";
    EXPECT_EQ(job->ended, "2025-12-05T10:01:05Z");

    write("20251205T110000Z-upgrade.jsonl", {"not json at all"});
    EXPECT_EQ(NewestRecordedJob(dir.path(), "upgrade", "eth0", now)->path, job->path)
        << "a file of damage only is no job";
    EXPECT_FALSE(NewestRecordedJob(dir.path(), "upgrade", "eth7", now));
}
