#include "app/cli/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

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

std::string ProgressEvent(std::chrono::system_clock::time_point when, const std::string& mac,
                          const std::string& status) {
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    return std::string(stamp) + " " + mac + " " + (status.empty() ? "(empty)" : Printable(status));
}

ConsoleProgress::ConsoleProgress(ListModel& list, std::vector<int> rows, std::ostream& err, Style style)
    : m_list(list), m_rows(std::move(rows)), m_err(err), m_style(style), m_width(terminalWidth()) {
    if (m_style != Style::Events)
        return;
    for (int row : m_rows)
        m_events->seen[row].text = m_list.GetItemText(row, StatusColumn);
    // Every change is caught as it is written, so a Status that shows for a moment is not missed.
    m_list.SetListener([events = m_events, list = &m_list](ListModel::Change change, int row) {
        if (change != ListModel::Change::RowChanged)
            return;
        auto shown = list->Row(row);
        std::lock_guard guard(events->lock);
        auto it = events->seen.find(row);
        if (!shown || it == events->seen.end() || it->second.text == (*shown)[StatusColumn])
            return;
        Seen& seen = it->second;
        seen.text = (*shown)[StatusColumn];
        std::string shape = seen.text;
        std::erase_if(shape, [](char c) { return c >= '0' && c <= '9'; });
        const int tenth = shown->progress ? static_cast<int>(*shown->progress * 10.0) : -1;
        if (shown->progress && shape == seen.shape && tenth == seen.tenth)
            return;
        seen.shape = std::move(shape);
        seen.tenth = tenth;
        events->lines.push_back(ProgressEvent(std::chrono::system_clock::now(), (*shown)[3], seen.text));
    });
}

ConsoleProgress::~ConsoleProgress() {
    if (m_style == Style::Events)
        m_list.SetListener(nullptr);
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
    m_drawn = drawn;
    m_err << frame;
    m_err.flush();
}
