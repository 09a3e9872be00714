#include "console/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <tuple>
#include <utility>

#include "app/TarnDlg.h"
#include "console/EventStream.h"
#include "discovery/DeviceRows.h"
#include "util/Utf8.h"

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100); // at most ten times a second

// Columns and lines of the terminal, read again at each redraw: it may be resized mid-job.
std::pair<std::size_t, std::size_t> terminalSize() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0)
        return {size.ws_col, size.ws_row};
    return {80, 24};
}

std::string cut(const std::string& line, std::size_t width) {
    // One column short of the edge, so the terminal never wraps the line.
    return CutToColumns(line, width > 1 ? width - 1 : width);
}

} // namespace

std::string ProgressLine(const ListRow& row, std::size_t width, const Text::Translate& translate) {
    std::string line = PadToColumns(Printable(NameText(row.device)), 20) + PadToColumns(IpText(row.device), 16) +
                       Printable(row.status.In(translate));
    if (row.Failed())
        line += " " + Text("Console", QT_TRANSLATE_NOOP("Console", "[failed]")).In(translate);
    return cut(line, width);
}

std::vector<std::string> ProgressFrame(const std::vector<ProgressCamera>& cameras, const std::string& summary,
                                       std::size_t width, std::size_t height, const Text::Translate& translate) {
    std::vector<std::string> lines;
    const std::size_t room = height > 1 ? height - 1 : 1;
    if (!summary.empty())
        lines.push_back(cut(summary, width));
    // A job that fits is shown whole, in list order.
    if (lines.size() + cameras.size() <= room) {
        for (const ProgressCamera& c : cameras)
            lines.push_back(ProgressLine(c.row, width, translate));
        return lines;
    }
    // Else the cameras at work and the failed ones come first; what does not fit is counted.
    const std::size_t fit = room > lines.size() + 1 ? room - lines.size() - 1 : 0;
    std::size_t done = 0, more = 0, listed = 0;
    for (const ProgressCamera& c : cameras) {
        if (c.ended && !c.row.Failed())
            ++done;
        else if (listed < fit) {
            lines.push_back(ProgressLine(c.row, width, translate));
            ++listed;
        } else {
            ++more;
        }
    }
    const Text rest =
        more == 0   ? Text("Console", QT_TRANSLATE_NOOP("Console", "... and %1 more done"), {std::to_string(done)})
        : done == 0 ? Text("Console", QT_TRANSLATE_NOOP("Console", "... and %1 more"), {std::to_string(more)})
                    : Text("Console", QT_TRANSLATE_NOOP("Console", "... and %1 more, %2 done"),
                           {std::to_string(more), std::to_string(done)});
    lines.push_back(cut(rest.In(translate), width));
    return lines;
}

std::string ProgressEvent(std::chrono::system_clock::time_point when, const std::string& name, const std::string& mac,
                          const std::string& status) {
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    const std::string who = name.empty() ? "(" + mac + ")" : Printable(name) + " (" + mac + ")";
    return std::string(stamp) + " " + who + " " + (status.empty() ? "(empty)" : Printable(status));
}

void ProgressLog::Follow(const Mac& mac, std::string shownNow) {
    m_seen[mac].text = std::move(shownNow);
}

std::optional<std::string> ProgressLog::Line(const Target& camera, const JobEvent& event,
                                             std::chrono::system_clock::time_point when) {
    std::optional<StatusText> status;
    Phase phase = Phase::Done;
    if (const auto* changed = std::get_if<event::CameraChanged>(&event)) {
        status = Status::Of(changed->view);
        phase = changed->view.phase;
    } else if (const auto* ended = std::get_if<event::CameraEnded>(&event)) {
        status = Status::Of(ended->outcome);
    }
    auto it = m_seen.find(camera.mac);
    if (!status || it == m_seen.end() || it->second.text == status->text.English())
        return std::nullopt;
    Seen& seen = it->second;
    seen.text = status->text.English();
    const int tenth = status->progress ? static_cast<int>(*status->progress * 10.0) : -1;
    if (status->progress && phase == seen.phase && tenth == seen.tenth)
        return std::nullopt;
    seen.phase = phase;
    seen.tenth = tenth;
    return ProgressEvent(when, camera.displayName, FormatMac(camera.mac), status->text.In(m_translate));
}

ConsoleProgress::ConsoleProgress(CTarnDlg& dlg, std::vector<int> rows, std::ostream& err, Style style,
                                 Text::Translate translate, EventStream* stream)
    : m_dlg(dlg), m_list(dlg.Discovery().List()), m_rows(std::move(rows)), m_err(err), m_style(style),
      m_translate(std::move(translate)), m_events(std::make_shared<Events>(m_translate)) {
    std::tie(m_width, m_height) = terminalSize();
    // Too small a screen for a frame: the changes as lines, which it scrolls through.
    if (m_style == Style::Redraw && (m_height < kLeastRedrawHeight || m_width < kLeastRedrawWidth))
        m_style = Style::Events;
    const bool lines = m_style == Style::Events;
    if (!lines && !stream)
        return;
    if (lines)
        for (int row : m_rows) {
            if (auto shown = m_list.Row(row))
                m_events->log.Follow(shown->mac(), shown->status.English());
        }
    // Every change is caught as the job reports it, so a Status that shows for a moment is not missed.
    // The stream outlives the controller, whose end joins the job's thread.
    m_dlg.Fleet().SetJobListener([events = m_events, lines, stream](const Target& camera, const JobEvent& event) {
        if (stream)
            stream->Job(camera, event);
        if (!lines)
            return;
        std::lock_guard guard(events->lock);
        if (auto line = events->log.Line(camera, event, std::chrono::system_clock::now()))
            events->lines.push_back(std::move(*line));
    });
    m_listening = true;
}

ConsoleProgress::~ConsoleProgress() {
    if (m_listening)
        m_dlg.Fleet().SetJobListener(nullptr);
}

void ConsoleProgress::Tick() {
    if (m_style == Style::Redraw) {
        auto now = std::chrono::steady_clock::now();
        if (now - m_lastDraw >= kRedrawEvery) {
            m_lastDraw = now;
            redraw();
        }
        return;
    }
    if (m_style != Style::Events)
        return;
    std::deque<std::string> due;
    {
        std::lock_guard guard(m_events->lock);
        due.swap(m_events->lines);
    }
    for (const std::string& line : due)
        m_err << line << "\n";
    m_err.flush();
}

void ConsoleProgress::Finish() {
    if (m_style == Style::Redraw)
        redraw();
    else
        Tick();
}

void ConsoleProgress::redraw() {
    std::tie(m_width, m_height) = terminalSize();
    const std::vector<ListRow> rows = m_list.Rows();
    std::vector<ProgressCamera> cameras;
    for (int row : m_rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
            continue;
        const ListRow& shown = rows[static_cast<std::size_t>(row)];
        cameras.push_back({shown, m_dlg.Fleet().Outcome(shown.mac()).has_value()});
    }
    const std::vector<std::string> lines =
        ProgressFrame(cameras, m_dlg.Fleet().ProgressText().In(m_translate), m_width, m_height, m_translate);
    // Back to the first line drawn last time, every line written anew, and what is left of a
    // taller frame cleared.
    std::string frame;
    if (m_drawn > 0)
        frame += "\x1b[" + std::to_string(m_drawn) + "A";
    for (const std::string& line : lines)
        frame += "\r\x1b[2K" + line + "\n";
    frame += "\x1b[J";
    m_drawn = lines.size();
    m_err << frame;
    m_err.flush();
}
