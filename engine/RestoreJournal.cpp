#include "engine/RestoreJournal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "util/Files.h"
#include "util/Trace.h"
#include "util/UniqueFd.h"

namespace {

using json = nlohmann::json;

constexpr std::size_t kLargestJournal = std::size_t{4} * 1024 * 1024; // thousands of cameras; anything larger is damage

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> unhex(const std::string& text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        auto value = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        int hi = value(text[i]), lo = value(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}

json ownerJson(const JournalOwner& o) {
    return {{"pid", o.pid}, {"started", o.started}, {"instance", o.instance}};
}

// A whole number that fits T, or a throw: a damaged file's 1e184 or -1 must not be cast into a field.
template <typename T> T whole(const json& v) {
    if (v.is_number_unsigned() && std::in_range<T>(v.get<std::uint64_t>()))
        return static_cast<T>(v.get<std::uint64_t>());
    if (v.is_number_integer() && !v.is_number_unsigned() && std::in_range<T>(v.get<std::int64_t>()))
        return static_cast<T>(v.get<std::int64_t>());
    throw std::runtime_error("not a whole number in range");
}

JournalOwner ownerFrom(const json& o) {
    return {whole<long>(o.at("pid")), whole<unsigned long long>(o.at("started")),
            o.contains("instance") ? whole<unsigned long long>(o.at("instance")) : 0ULL};
}

// The journals of this process that are open now.
std::mutex g_liveLock;
std::set<unsigned long long> g_live;
std::atomic<unsigned long long> g_nextInstance{1};

// Field 22 of /proc/PID/stat: the start time in clock ticks after boot; 0 when the process is gone.
// A process that has ended but not yet been reaped (a zombie) is gone too: it runs nothing.
unsigned long long startTime(long pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    auto stat = std::make_optional<std::string>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file && stat->empty())
        return 0;
    // The command name in parentheses may hold spaces; the fields after it are plain.
    auto close = stat->rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat->substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 3 && (field == "Z" || field == "X"))
            return 0;
        if (i == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    }
    return 0;
}

json toJson(const RestoreJournal::Contents& c) {
    json restores = json::array(), routes = json::array();
    for (const PendingRestore& r : c.restores)
        restores.push_back({{"owner", ownerJson(r.owner)},
                            {"mac", FormatMac(r.mac)},
                            {"name", r.name},
                            {"home", r.home},
                            {"moved_to", r.movedTo},
                            {"adapter", r.adapter},
                            {"command", hex(r.command)},
                            {"since", r.since}});
    for (const PendingRoute& r : c.routes)
        routes.push_back({{"owner", ownerJson(r.owner)}, {"adapter", r.adapter}, {"ifindex", r.ifindex}});
    return {{"version", 1}, {"restores", restores}, {"routes", routes}};
}

// Throws on anything that is not a journal this program wrote.
RestoreJournal::Contents fromJson(const json& doc) {
    RestoreJournal::Contents c;
    if (whole<int>(doc.at("version")) != 1)
        throw std::runtime_error("unknown version");
    for (const json& r : doc.at("restores")) {
        PendingRestore p;
        p.owner = ownerFrom(r.at("owner"));
        if (!ParseMac(r.at("mac").get<std::string>(), p.mac))
            throw std::runtime_error("bad MAC address");
        p.name = r.at("name").get<std::string>();
        p.home = r.at("home").get<std::string>();
        p.movedTo = r.at("moved_to").get<std::string>();
        p.adapter = r.at("adapter").get<std::string>();
        auto command = unhex(r.at("command").get<std::string>());
        if (!command || command->size() != kAnyAddressDatagramLength)
            throw std::runtime_error("bad command");
        p.command = std::move(*command);
        p.since = r.value("since", std::string());
        c.restores.push_back(std::move(p));
    }
    for (const json& r : doc.at("routes"))
        c.routes.push_back(
            {ownerFrom(r.at("owner")), r.at("adapter").get<std::string>(), whole<unsigned>(r.at("ifindex"))});
    return c;
}

// The whole file, or nothing (missing); refuses links and anything but a regular file.
std::optional<std::string> readFile(const std::string& path, bool& unreadable) {
    unreadable = false;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        unreadable = errno != ENOENT;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kLargestJournal) {
        unreadable = true;
        return std::nullopt;
    }
    return ReadUpTo(fd.get(), static_cast<std::size_t>(st.st_size));
}

bool writeAtomically(const std::string& folder, const std::string& path, const std::string& bytes) {
    std::string temporary = folder + "/.journal-XXXXXX";
    UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.valid())
        return false;
    ::fchmod(fd.get(), 0600);
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd.get()) == 0;
    fd.reset();
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int why = errno; // what the operator is told, not what the clean-up met
        ::unlink(temporary.c_str());
        errno = why;
        return false;
    }
    return true;
}

} // namespace

bool JournalOwner::Alive() const {
    if (pid == ::getpid()) {
        std::lock_guard guard(g_liveLock);
        return g_live.contains(instance);
    }
    return pid > 0 && started != 0 && startTime(pid) == started;
}

RestoreJournal::RestoreJournal(std::string folder) : m_folder(std::move(folder)) {
    if (!m_folder.empty())
        m_path = m_folder + "/journal.json";
    m_self.pid = ::getpid();
    m_self.started = startTime(m_self.pid);
    m_self.instance = g_nextInstance++;
    std::lock_guard guard(g_liveLock);
    g_live.insert(m_self.instance);
}

RestoreJournal::~RestoreJournal() {
    std::lock_guard guard(g_liveLock);
    g_live.erase(m_self.instance);
}

std::string RestoreJournal::DefaultFolder() {
    return StateFolder();
}

RestoreJournal::Contents RestoreJournal::Read(std::string& problem) {
    problem.clear();
    if (m_path.empty())
        return {};
    // Another user's journal is not this run's to act on.
    if (std::string foreign = ForeignFolder(m_folder); !foreign.empty()) {
        problem = foreign + ": Flashwell keeps no journal there (use sudo -H, or set XDG_STATE_HOME)";
        return {};
    }
    bool unreadable = false;
    auto bytes = readFile(m_path, unreadable);
    if (!bytes) {
        if (unreadable)
            problem = "cannot read " + m_path + ": not a regular file or not readable";
        return {};
    }
    Result<Contents> parsed = Parse(*bytes);
    if (parsed)
        return parsed.Value();
    {
        auto stamp =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        std::string aside = m_path + ".damaged-" + std::to_string(stamp);
        bool moved = ::rename(m_path.c_str(), aside.c_str()) == 0;
        problem = "the journal " + m_path + " is damaged (" + parsed.Message() + ")" +
                  (moved ? "; set aside as " + aside : "; it could not be set aside");
        return {};
    }
}

// What the file holds now, left in place whatever it holds: a damaged one is Read's to report.
RestoreJournal::Contents RestoreJournal::peek() const {
    if (!ForeignFolder(m_folder).empty())
        return {};
    bool unreadable = false;
    auto bytes = m_path.empty() ? std::nullopt : readFile(m_path, unreadable);
    Result<Contents> parsed = bytes ? Parse(*bytes) : Result<Contents>(Contents{});
    return parsed ? parsed.Value() : Contents{};
}

std::set<std::string> RestoreJournal::LinkLocalAddresses() const {
    std::set<std::string> addresses;
    for (const PendingRestore& r : peek().restores)
        for (const std::string& address : {r.movedTo, r.home})
            if (address.rfind("169.254.", 0) == 0)
                addresses.insert(address);
    return addresses;
}

std::vector<PendingRestore> RestoreJournal::AwayFromHome() const {
    std::vector<PendingRestore> away = peek().restores;
    // Another front end that runs now owns its entries; this journal's own and a dead run's are ours.
    std::erase_if(away, [this](const PendingRestore& r) { return !mine(r.owner) && r.owner.Alive(); });
    return away;
}

std::string RestoreJournal::Format(const Contents& contents) {
    // Names come from the network and need not be UTF-8.
    return toJson(contents).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Result<RestoreJournal::Contents> RestoreJournal::Parse(std::string_view text) {
    // The parser's exceptions stay here: a damaged file is a failure to report, never a crash.
    try {
        return fromJson(json::parse(text));
    } catch (const std::exception& e) {
        return Failure{EINVAL, e.what()};
    }
}

template <typename F> Result<> RestoreJournal::change(F f) {
    if (m_path.empty())
        return {};
    auto failed = [this](const std::string& what) {
        const int code = errno;
        Failure failure{code, "cannot " + what + " the journal " + m_path + ": " + std::strerror(code)};
        Trace("Journal: %s\n", failure.message.English().c_str());
        return failure;
    };
    if (std::string foreign = ForeignFolder(m_folder); !foreign.empty()) {
        Failure failure{EPERM, foreign + ": no journal is kept there (use sudo -H, or set XDG_STATE_HOME)"};
        Trace("Journal: %s\n", failure.message.English().c_str());
        return failure;
    }
    if (!MakePrivateFolder(m_folder))
        return failed("make the folder of");
    // One writer at a time across processes: the lock file is never replaced, the journal is.
    UniqueFd lock(::open((m_folder + "/journal.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid() || ::flock(lock.get(), LOCK_EX) != 0)
        return failed("lock");
    std::string problem;
    Contents contents = Read(problem);
    if (!problem.empty())
        Trace("Journal: %s\n", problem.c_str());
    f(contents);
    if (!writeAtomically(m_folder, m_path, Format(contents)))
        return failed("write");
    return {};
}

Result<> RestoreJournal::AddRestore(PendingRestore restore) {
    restore.owner = m_self;
    if (restore.since.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        ::gmtime_r(&now, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
        restore.since = text;
    }
    return change([&](Contents& c) {
        auto older = std::find_if(c.restores.begin(), c.restores.end(),
                                  [&](const PendingRestore& r) { return r.mac == restore.mac; });
        if (older == c.restores.end()) {
            c.restores.push_back(restore);
            return;
        }
        // Not yet seen at its older home: that stays its home, whatever address it is moved from now.
        older->owner = restore.owner;
        older->movedTo = restore.movedTo;
        older->adapter = restore.adapter;
    });
}

Result<> RestoreJournal::RemoveRestore(const Mac& mac) {
    return change(
        [&](Contents& c) { std::erase_if(c.restores, [&](const PendingRestore& r) { return r.mac == mac; }); });
}

Result<std::size_t> RestoreJournal::Forget(const std::optional<Mac>& mac) {
    std::size_t forgotten = 0;
    auto changed = change([&](Contents& c) {
        // A front end that runs now is still at work on its own entries.
        forgotten = std::erase_if(c.restores, [&](const PendingRestore& r) {
            return (!mac || r.mac == *mac) && (mine(r.owner) || !r.owner.Alive());
        });
    });
    if (!changed)
        return changed.Error();
    return forgotten;
}

Result<> RestoreJournal::AddRoute(PendingRoute route) {
    route.owner = m_self;
    return change([&](Contents& c) {
        std::erase_if(c.routes, [&](const PendingRoute& r) { return r.adapter == route.adapter; });
        c.routes.push_back(route);
    });
}

Result<> RestoreJournal::RemoveRoute(const std::string& adapter) {
    return change(
        [&](Contents& c) { std::erase_if(c.routes, [&](const PendingRoute& r) { return r.adapter == adapter; }); });
}
