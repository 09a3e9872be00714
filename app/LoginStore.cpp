#include "app/LoginStore.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/Files.h"
#include "util/UniqueFd.h"
#include "util/Utf8.h"

namespace {

constexpr std::size_t kReadLimit = 4096;
constexpr std::size_t kFieldLimit = 254; // what the login boxes take

struct Settings {
    std::string user;
    std::optional<std::string> password; // only where no keyring answered
};

// A line break would end the value early on reading, so a value keeps what comes before one.
std::string oneLine(const std::string& value) {
    return CutUtf8(value.substr(0, value.find_first_of("\r\n")), kFieldLimit);
}

std::string format(const Settings& s) {
    std::string out = "user=" + oneLine(s.user) + "\n";
    if (s.password)
        out += "password=" + oneLine(*s.password) + "\n";
    return out;
}

// "key=value" lines; what it does not know is passed over, so a later version's file still loads.
Settings parse(const std::string& bytes) {
    Settings s;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(at, end - at);
        at = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = oneLine(line.substr(eq + 1));
        if (key == "user")
            s.user = value;
        else if (key == "password")
            s.password = value;
    }
    return s;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Never through a link, and a FIFO in its place must not block: what is not a regular file is not read.
std::optional<Settings> readSettings(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return parse(ReadUpTo(fd.get(), kReadLimit));
}

Text noKeyring(const Keyring::Answer& answer, const std::string& path) {
    return Note(QT_TRANSLATE_NOOP("Note", "No keyring answered (%1); the camera password is kept in %2, readable "
                                          "only by you"),
                {answer.error, path});
}

} // namespace

LoginStore::LoginStore(std::string folder, std::string home, std::shared_ptr<Keyring> keyring)
    : m_folder(std::move(folder)), m_home(std::move(home)), m_keyring(std::move(keyring)) {}

std::string LoginStore::DefaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/flashwell";
    return HomeDirectory() + "/.config/flashwell";
}

LoginStore::Saved LoginStore::Save(const StoredLogin& login) {
    Saved saved;
    Settings settings{login.user, std::nullopt};
    const Keyring::Answer answer =
        m_keyring ? m_keyring->Write(oneLine(login.password)) : Keyring::Answer{false, {}, "none in this program"};
    saved.inKeyring = answer.answered;
    if (!answer.answered) {
        settings.password = login.password;
        saved.notes.push_back(noKeyring(answer, SettingsFile()));
    }
    saved.ok = ReplacePrivateFile(m_folder, SettingsFile(), format(settings));
    if (!saved.ok)
        saved = {false,
                 false,
                 {Note(QT_TRANSLATE_NOOP("Note", "The login was not stored: %1 cannot be written"), {SettingsFile()})}};
    return saved;
}

LoginStore::Loaded LoginStore::Load() {
    const std::string path = SettingsFile();
    if (!exists(path))
        return migrate();
    const std::optional<Settings> settings = readSettings(path);
    if (!settings)
        return {std::nullopt, {Note(QT_TRANSLATE_NOOP("Note", "The stored login cannot be read from %1"), {path})}};
    Loaded loaded{StoredLogin{settings->user, settings->password.value_or("")}, {}};
    if (settings->password) {
        // Kept in the file when no keyring answered: the keyring takes it as soon as one does.
        const Keyring::Answer answer =
            m_keyring ? m_keyring->Write(*settings->password) : Keyring::Answer{false, {}, "none in this program"};
        if (answer.answered && ReplacePrivateFile(m_folder, path, format({settings->user, std::nullopt})))
            loaded.notes.push_back(
                Note(QT_TRANSLATE_NOOP("Note", "The camera password kept in %1 is now in the keyring"), {path}));
        else
            loaded.notes.push_back(noKeyring(answer, path));
        return loaded;
    }
    const Keyring::Answer answer = m_keyring ? m_keyring->Read() : Keyring::Answer{false, {}, "none in this program"};
    if (!answer.answered)
        loaded.notes.push_back(
            Note(QT_TRANSLATE_NOOP("Note", "No keyring answered (%1); the stored camera password cannot be read"),
                 {answer.error}));
    else if (!answer.secret)
        loaded.notes.push_back(
            Note(QT_TRANSLATE_NOOP("Note", "The keyring holds no camera password for the stored login")));
    else
        loaded.login->password = *answer.secret;
    return loaded;
}

LoginStore::Loaded LoginStore::migrate() {
    const std::string old = ::SettingsPath(m_home);
    if (m_home.empty() || !isRegularFile(old))
        return {};
    UniqueFd fd(::open(old.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    const std::string bytes = fd.valid() ? ReadUpTo(fd.get(), 1024) : std::string();
    StoredLogin login = ParseSettings(bytes);
    // An empty user name was written as a line break and the password: the one text is the password.
    if (!bytes.empty() && (bytes[0] == '\r' || bytes[0] == '\n'))
        login = {"", login.user};
    Saved saved = Save(login);
    Loaded loaded{login, std::move(saved.notes)};
    if (!saved.ok)
        return loaded;
    // The old file keeps the user name, so an earlier version still finds it; the password goes.
    if (!SaveSettings(m_home, {login.user, ""}))
        loaded.notes.push_back(Note(QT_TRANSLATE_NOOP("Note", "The login stored in %1 was copied to %2, but the "
                                                              "password could not be removed from that file"),
                                    {old, SettingsFile()}));
    else if (saved.inKeyring)
        loaded.notes.push_back(Note(QT_TRANSLATE_NOOP("Note", "The login stored in %1 was moved: the user name to "
                                                              "%2, the password to the keyring"),
                                    {old, SettingsFile()}));
    else
        loaded.notes.push_back(
            Note(QT_TRANSLATE_NOOP("Note", "The login stored in %1 was moved to %2"), {old, SettingsFile()}));
    return loaded;
}
