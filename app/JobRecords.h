#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "util/Result.h"
#include "util/UniqueFd.h"

// What one job did to one camera, written when that camera's work ends. A value that is not known
// stays empty and is written as null.
struct CameraRecord {
    std::string started; // the job's start, ISO 8601 UTC
    std::string ended;   // this camera's end
    std::string workflow;
    std::string adapter;
    std::string mac;
    std::string name;
    std::optional<std::string> ipBefore, ipAfter, model, versionBefore, versionAfter;
    std::optional<std::string> image, imageSha256, imageVersion; // upgrades only
    std::string status;                                          // the Status text the row showed
    bool failed = false;
    std::string outcome; // the outcome's name, so that an empty Status still says what happened
};

// The field names, in their order: the JSON keys and the CSV header.
const std::vector<std::string>& RecordFields();
// One record as a JSON object (fields in order) and as a CSV line.
std::string RecordJson(const CameraRecord& record);
std::string RecordCsv(const CameraRecord& record);

// "2026-12-08T14:06:43Z"
std::string IsoUtc(std::chrono::system_clock::time_point when);

// The newest job of a workflow on a card, as its file of records in the folder tells it.
struct RecordedJob {
    std::string path;
    std::string ended;               // its last camera's end
    std::vector<std::string> failed; // the MAC addresses of the cameras that ended failed
    std::size_t damaged = 0;         // lines of its file that are no record, skipped
    std::size_t future = 0;          // records of the workflow on the card, in any file, from a clock ahead
};
// The newest by its records' own end times, never by a file's name: a clock that was wrong when a
// job ran cannot make that job the newest for ever. Records that end more than a minute after now
// are left out. None when no job of the workflow on the card was recorded there.
std::optional<RecordedJob>
NewestRecordedJob(const std::string& folder, const std::string& workflow, const std::string& adapter,
                  std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// The records of every job, one JSON object a line, in a file of its own per job under
// $XDG_STATE_HOME/flashwell/jobs/ named by the job's start (UTC) and workflow. Lines are appended
// with one write each, so a crash loses at most the camera being written; nothing is ever
// rewritten. An empty folder keeps the records in memory only.
class JobRecords {
public:
    explicit JobRecords(std::string folder);

    // $XDG_STATE_HOME/flashwell/jobs, or ~/.local/state/flashwell/jobs.
    static std::string DefaultFolder();
    const std::string& Folder() const { return m_folder; }
    // Makes the folder (0700) where missing; false when there is none or it cannot be made.
    bool CreateFolder() const;

    // Starts a job: its records go to a new file from here on, or the failure says why they cannot.
    Result<> Begin(const std::string& workflow, std::chrono::system_clock::time_point started);
    // A job that leaves no record (a dry run): what follows is not written until the next Begin.
    void Skip();
    // Completes the record with the job's start, workflow and the time now, and writes it; nothing
    // outside a job begun with Begin.
    void Append(CameraRecord record);
    // The records of the current (or last) job, in the order they were written.
    std::vector<CameraRecord> Records() const;
    std::string Path() const;
    std::string Started() const;

private:
    mutable std::mutex m_lock;
    std::string m_folder;
    std::string m_path;
    std::string m_workflow;
    std::string m_started;
    UniqueFd m_file;
    bool m_active = false;
    std::vector<CameraRecord> m_records;
};
