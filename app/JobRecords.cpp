#include "app/JobRecords.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include <nlohmann/json.hpp>

#include "app/Csv.h"
#include "util/Files.h"
#include "util/Trace.h"

namespace {

std::vector<std::optional<std::string>> values(const CameraRecord& r) {
    return {r.started,
            r.ended,
            r.workflow,
            r.adapter,
            r.mac,
            r.name,
            r.ipBefore,
            r.ipAfter,
            r.model,
            r.versionBefore,
            r.versionAfter,
            r.image,
            r.imageSha256,
            r.imageVersion,
            r.status,
            r.failed ? "true" : "false",
            r.outcome.empty() ? std::nullopt : std::optional(r.outcome)};
}

std::string utcText(std::chrono::system_clock::time_point when, const char* format) {
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, format, &utc);
    return text;
}

// "20261208T140643Z": sorts by time and holds no character a file system or a shell minds.
std::string fileStamp(std::chrono::system_clock::time_point when) {
    return utcText(when, "%Y%m%dT%H%M%SZ");
}

} // namespace

const std::vector<std::string>& RecordFields() {
    static const std::vector<std::string> fields = {
        "started",      "ended",         "workflow", "adapter",        "mac",           "name",
        "ip_before",    "ip_after",      "model",    "version_before", "version_after", "image",
        "image_sha256", "image_version", "status",   "failed",         "outcome"};
    return fields;
}

std::string RecordJson(const CameraRecord& r) {
    nlohmann::ordered_json j;
    const auto& fields = RecordFields();
    const auto vals = values(r);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == "failed")
            j[fields[i]] = r.failed;
        else if (vals[i])
            j[fields[i]] = *vals[i];
        else
            j[fields[i]] = nullptr;
    }
    // Camera names come from the network and need not be UTF-8.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string RecordCsv(const CameraRecord& r) {
    return CsvLine(values(r));
}

std::string IsoUtc(std::chrono::system_clock::time_point when) {
    return utcText(when, "%Y-%m-%dT%H:%M:%SZ");
}

namespace {

// The files of a workflow's jobs, newest name first: named by their start, then a number for a
// second job in the same second. Only ties of the records' own times fall back on this order.
std::vector<std::pair<std::string, int>> jobFiles(const std::string& folder, const std::string& workflow) {
    std::vector<std::pair<std::string, int>> files;
    std::error_code error;
    const std::regex name("[0-9]{8}T[0-9]{6}Z-" + workflow + "(-([0-9]{1,2}))?\\.jsonl");
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::smatch m;
        const std::string file = entry.path().filename().string();
        if (std::regex_match(file, m, name))
            files.emplace_back(file, m[2].matched ? std::stoi(m[2].str()) : 1);
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        const std::string stampA = a.first.substr(0, 16), stampB = b.first.substr(0, 16);
        return stampA != stampB ? stampA > stampB : a.second > b.second;
    });
    return files;
}

// The records' folder and the state folder that holds it must be this user's own.
std::string foreignRecords(const std::string& folder) {
    const std::string state = std::filesystem::path(folder).parent_path().string();
    std::string foreign = ForeignFolder(state);
    return foreign.empty() ? ForeignFolder(folder) : foreign;
}

bool isString(const nlohmann::json& record, const char* key) {
    return record.contains(key) && record[key].is_string();
}

// A line as this program writes it: the fields a job is chosen by, of their own types.
bool wholeRecord(const nlohmann::json& record) {
    static const std::regex iso("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z");
    return record.is_object() && isString(record, "adapter") && isString(record, "mac") && record.contains("failed") &&
           record["failed"].is_boolean() && isString(record, "ended") &&
           std::regex_match(record["ended"].get<std::string>(), iso);
}

// What one file says of the card's job in it; empty ended when it holds none.
RecordedJob readJob(const std::string& path, const std::string& adapter, const std::string& latest) {
    RecordedJob job{path, {}, {}, 0, 0};
    std::ifstream in(path);
    // A line cut by a crash, or damaged, is skipped: the others still say what happened.
    for (std::string line; std::getline(in, line);) {
        if (line.empty())
            continue;
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (!wholeRecord(record)) {
            ++job.damaged;
            continue;
        }
        if (record["adapter"].get<std::string>() != adapter)
            continue;
        const std::string ended = record["ended"].get<std::string>();
        if (ended > latest) {
            ++job.future;
            continue;
        }
        job.ended = std::max(job.ended, ended);
        if (record["failed"].get<bool>())
            job.failed.push_back(record["mac"].get<std::string>());
    }
    return job;
}

} // namespace

std::optional<RecordedJob> NewestRecordedJob(const std::string& folder, const std::string& workflow,
                                             const std::string& adapter, std::chrono::system_clock::time_point now) {
    if (folder.empty() || !foreignRecords(folder).empty())
        return std::nullopt;
    const std::string latest = IsoUtc(now + std::chrono::minutes(1));
    std::optional<RecordedJob> newest;
    std::size_t future = 0;
    for (const auto& file : jobFiles(folder, workflow)) {
        RecordedJob job = readJob(folder + "/" + file.first, adapter, latest);
        future += job.future;
        if (!job.ended.empty() && (!newest || job.ended > newest->ended))
            newest = std::move(job);
    }
    if (newest)
        newest->future = future;
    return newest;
}

JobRecords::JobRecords(std::string folder) : m_folder(std::move(folder)) {}

std::string JobRecords::DefaultFolder() {
    const std::string state = StateFolder();
    return state.empty() ? state : state + "/jobs";
}

bool JobRecords::CreateFolder() const {
    return !m_folder.empty() && MakePrivateFolder(m_folder);
}

Result<> JobRecords::Begin(const std::string& workflow, std::chrono::system_clock::time_point started) {
    std::lock_guard guard(m_lock);
    m_workflow = workflow;
    m_started = IsoUtc(started);
    m_active = true;
    m_records.clear();
    m_file.reset();
    m_path.clear();
    if (m_folder.empty())
        return Failure{ENOENT, "no folder for them (HOME is not set)"};
    if (std::string foreign = foreignRecords(m_folder); !foreign.empty())
        return Failure{EPERM, foreign + " (use sudo -H, or set XDG_STATE_HOME)"};
    if (!MakePrivateFolder(m_folder))
        return Failure{errno, "cannot create " + m_folder + ": " + std::strerror(errno)};
    // A new file for each job; a second job in the same second gets a number, never an old file.
    const std::string base = m_folder + "/" + fileStamp(started) + "-" + workflow;
    for (int n = 1; n < 100 && !m_file.valid(); ++n) {
        std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".jsonl";
        m_file.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (m_file.valid())
            m_path = path;
        else if (errno != EEXIST)
            break;
    }
    if (!m_file.valid())
        return Failure{errno, "cannot create a file in " + m_folder + ": " + std::strerror(errno)};
    return {};
}

void JobRecords::Skip() {
    std::lock_guard guard(m_lock);
    m_active = false;
    m_records.clear();
    m_file.reset();
    m_path.clear();
}

void JobRecords::Append(CameraRecord record) {
    record.ended = IsoUtc(std::chrono::system_clock::now());
    std::lock_guard guard(m_lock);
    if (!m_active)
        return;
    record.started = m_started;
    record.workflow = m_workflow;
    if (m_file.valid()) {
        // One write per line: appended whole, and in the kernel's hands before the next camera ends.
        const std::string line = RecordJson(record) + "\n";
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(m_file.get(), line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        if (done < line.size()) {
            Trace("Job records: cannot write %s: %s\n", m_path.c_str(), std::strerror(errno));
            // A cut line must not swallow the next record.
            if (done > 0 && ::write(m_file.get(), "\n", 1) != 1)
                Trace("Job records: %s ends in a cut line\n", m_path.c_str());
        }
    }
    m_records.push_back(std::move(record));
}

std::vector<CameraRecord> JobRecords::Records() const {
    std::lock_guard guard(m_lock);
    return m_records;
}

std::string JobRecords::Path() const {
    std::lock_guard guard(m_lock);
    return m_path;
}

std::string JobRecords::Started() const {
    std::lock_guard guard(m_lock);
    return m_started;
}
