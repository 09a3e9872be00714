#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "discovery/ListModel.h"
#include "discovery/WireProtocol.h"
#include "engine/CameraState.h"
#include "engine/JobEvents.h"
#include "util/Text.h"

class CTarnDlg;
class EventStream;

// One camera's line as a terminal shows it while a job runs: name, address and Status, printable
// and cut to the width; its marks in the console's language.
std::string ProgressLine(const ListRow& row, std::size_t width, const Text::Translate& translate = {});
// One camera as a redraw sees it: its row, and whether its work in this job has ended.
struct ProgressCamera {
    ListRow row;
    bool ended = false;
};
// One redraw for a terminal of height lines: the job's summary first, then the cameras at work and
// those that failed, in list order, as many as fit, and a last line that counts the rest ("... and
// 31 more done"). Never more than height - 1 lines, so that the screen never scrolls under it.
std::vector<std::string> ProgressFrame(const std::vector<ProgressCamera>& cameras, const std::string& summary,
                                       std::size_t width, std::size_t height, const Text::Translate& translate = {});
// The smallest terminal a redraw fits: below it the job's changes are printed as lines instead.
inline constexpr std::size_t kLeastRedrawHeight = 6;
inline constexpr std::size_t kLeastRedrawWidth = 40;

// One Status change as a log shows it: "14:06:43 Lobby (02:00:00:00:00:01) Upgrade Status... 40%".
std::string ProgressEvent(std::chrono::system_clock::time_point when, const std::string& name, const std::string& mac,
                          const std::string& status);

// A job's events as the lines of a log: one per Status change of a camera it was told to follow,
// except that a running percentage or countdown gets a line only at each tenth of its way.
class ProgressLog {
public:
    explicit ProgressLog(Text::Translate translate = {}) : m_translate(std::move(translate)) {}

    // A camera to follow, with the text its row shows now (no line until that changes).
    void Follow(const Mac& mac, std::string shownNow);
    // The line the event makes, if any.
    std::optional<std::string> Line(const Target& camera, const JobEvent& event,
                                    std::chrono::system_clock::time_point when);

private:
    struct Seen {
        std::string text;          // in English, which is what the row shows
        Phase phase = Phase::Done; // the phase the text was last printed for
        int tenth = -1;            // the tenth of the progress last printed
    };
    std::map<Mac, Seen> m_seen;
    Text::Translate m_translate;
};

// The console front end's view of a running job, on standard error so that standard output keeps
// only the final list: on a terminal a frame clipped to its size is redrawn in place at most ten
// times a second; on a terminal too small for one, and elsewhere when asked, every Status change
// the job reports is one line, except that a running percentage or countdown is printed at each
// tenth of its way, not at every step.
class ConsoleProgress {
public:
    enum class Style { None, Redraw, Events };

    // events: where the job's events go as well, as JSON lines; none without --events.
    ConsoleProgress(CTarnDlg& dlg, std::vector<int> rows, std::ostream& err, Style style,
                    Text::Translate translate = {}, EventStream* events = nullptr);
    ~ConsoleProgress();
    ConsoleProgress(const ConsoleProgress&) = delete;
    ConsoleProgress& operator=(const ConsoleProgress&) = delete;

    // Called by the waiting loop; draws or prints what is due.
    void Tick();
    // A last drawing of the final state.
    void Finish();

private:
    void redraw();

    CTarnDlg& m_dlg;
    ListModel& m_list;
    std::vector<int> m_rows;
    std::ostream& m_err;
    Style m_style;
    std::size_t m_width;
    std::size_t m_height;
    std::size_t m_drawn = 0;
    std::chrono::steady_clock::time_point m_lastDraw{};
    Text::Translate m_translate;
    // What the job's listener writes from the job's thread; shared with it, since a call already
    // under way may outlive this object.
    struct Events {
        std::mutex lock;
        explicit Events(Text::Translate translate) : log(std::move(translate)) {}
        std::deque<std::string> lines;
        ProgressLog log;
    };
    std::shared_ptr<Events> m_events;
    bool m_listening = false;
};
