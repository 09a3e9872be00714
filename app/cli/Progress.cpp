#include "app/cli/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "app/TarnDlg.h"
#include "util/Utf8.h"

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100); // at most ten times a second

std::size_t terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20)
        return size.ws_col;
    return 80;
}

std::string pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

} // namespace

std::string ProgressLine(const ListRow& row, std::size_t width) {
    std::string line = pad(Printable(row[1]), 20) + pad(row[2], 16) + Printable(row[StatusColumn]);
    if (row.failed)
        line += " [failed]";
    // Cut between characters, one column short of the edge so the terminal never wraps the line.
    return CutUtf8(line, width > 1 ? width - 1 : width);
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
    if (!status || it == m_seen.end() || it->second.text == status->text)
        return std::nullopt;
    Seen& seen = it->second;
    seen.text = status->text;
    const int tenth = status->progress ? static_cast<int>(*status->progress * 10.0) : -1;
    if (status->progress && phase == seen.phase && tenth == seen.tenth)
        return std::nullopt;
    seen.phase = phase;
    seen.tenth = tenth;
    return ProgressEvent(when, camera.displayName, FormatMac(camera.mac), seen.text);
}

ConsoleProgress::ConsoleProgress(CTarnDlg& dlg, std::vector<int> rows, std::ostream& err, Style style)
    : m_dlg(dlg), m_list(dlg.List()), m_rows(std::move(rows)), m_err(err), m_style(style), m_width(terminalWidth()) {
    if (m_style != Style::Events)
        return;
    for (int row : m_rows) {
        auto shown = m_list.Row(row);
        Mac mac{};
        if (shown && ParseMac((*shown)[3], mac))
            m_events->log.Follow(mac, (*shown)[StatusColumn]);
    }
    // Every change is caught as the job reports it, so a Status that shows for a moment is not missed.
    m_dlg.SetJobListener([events = m_events](const Target& camera, const JobEvent& event) {
        std::lock_guard guard(events->lock);
        if (auto line = events->log.Line(camera, event, std::chrono::system_clock::now()))
            events->lines.push_back(std::move(*line));
    });
}

ConsoleProgress::~ConsoleProgress() {
    if (m_style == Style::Events)
        m_dlg.SetJobListener(nullptr);
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
    const std::vector<ListRow> rows = m_list.Rows();
    std::string frame;
    // Back to the first line drawn last time, then every line cleared and written anew.
    if (m_drawn > 0)
        frame += "\x1b[" + std::to_string(m_drawn) + "A";
    std::size_t drawn = 0;
    for (int row : m_rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
            continue;
        frame += "\r\x1b[2K" + ProgressLine(rows[static_cast<std::size_t>(row)], m_width) + "\n";
        ++drawn;
    }
    // How far the whole job is, under the cameras' lines.
    if (const std::string summary = m_dlg.ProgressText(); !summary.empty()) {
        frame += "\r\x1b[2K" + CutUtf8(summary, m_width > 1 ? m_width - 1 : m_width) + "\n";
        ++drawn;
    }
    m_drawn = drawn;
    m_err << frame;
    m_err.flush();
}
