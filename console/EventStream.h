#pragma once

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "app/TarnWindow.h"
#include "discovery/ListModel.h"
#include "engine/JobEvents.h"
#include "util/Text.h"

// --events: one JSON object a line on standard output as things happen, so that a fleet script or
// a log pipeline can follow a job without reading the text meant for people. Every object has
// "event" and "time" (UTC, milliseconds); the rest of its fields are fixed by its kind:
//   seen     idx name ip mac                    a camera the search listed (again where its address
//                                               changed, as after auto-ip)
//   started  mac name                           its turn in the job has come
//   phase    mac name phase percent status      it entered a phase, or went on a tenth of it
//   outcome  mac name outcome failed status     its end in the job
//   note     kind text                          what the operator is told beyond the Status; kind
//                                               job, start-up, waiting, refusal or message
//   ended    workflow cameras failed outcomes   the job is over (outcomes: name -> how many)
//   summary  adapter devices                    the closing list, as --json prints it
// Texts are English, as in the records. Safe to call from the job's thread.
class EventStream {
public:
    explicit EventStream(std::ostream& out) : m_out(out) {}

    // The rows not yet said, or listed at another address than last said, in list order.
    void Seen(const std::vector<ListRow>& rows);
    void Job(const Target& camera, const JobEvent& event);
    void Note(const Text& text, NoteKind kind);
    // What a message box of the window would say.
    void Message(const Text& text);
    void Ended(Workflow workflow, std::size_t cameras, const std::map<std::string, std::size_t>& outcomes,
               std::size_t failed);
    void Summary(const nlohmann::json& document);

private:
    void write(const char* kind, const nlohmann::ordered_json& fields);

    std::mutex m_lock;
    std::ostream& m_out;
    std::map<Mac, std::string> m_seen;            // the address each camera was last said at
    std::map<Mac, std::pair<Phase, int>> m_phase; // the phase and tenth last said of each camera
};
