#include "window/InfoOptions.h"

#include <string_view>

#include "FlashwellVersion.h"

namespace {

// Laid out as help2man reads it: the option and environment lists become the manual page's sections.
constexpr std::string_view kHelp = R"(Usage: flashwell [QT-OPTION]...
Open the Flashwell window: find network cameras on one LAN segment by UDP
broadcast, flash their firmware over HTTP, check their versions, reset them to
factory defaults and give factory-addressed cameras addresses of their own.
The window searches the default network card at start.

Options:
  -h, --help     display this help and exit
      --trace    write diagnostic trace lines to standard output
      --version  output version information and exit

The window takes no options of its own besides these. Qt's standard options
are accepted, for example -platform NAME, -style NAME, -reverse and
-qwindowgeometry WxH+X+Y.

Environment:
  FLASHWELL_TIME_SCALE    factor for every workflow wait (0.01 makes them 100
                          times shorter); HTTP and probe time-outs are not scaled
  FLASHWELL_TRACE         1 writes the trace lines as --trace does
  XDG_CONFIG_HOME         the stored user name is in $XDG_CONFIG_HOME/flashwell/
                          settings (default ~/.config/flashwell/), its password
                          in the desktop's keyring
  XDG_STATE_HOME          journal and job records go to $XDG_STATE_HOME/flashwell/
                          (default ~/.local/state/flashwell/)
  LC_ALL, LC_CTYPE, LANG  a zh_CN or zh_SG locale gives Chinese captions
)";

} // namespace

bool TraceWanted(int argc, const char* const* argv, const char* traceVariable) {
    if (traceVariable && std::string_view(traceVariable) == "1")
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--trace")
            return true;
    return false;
}

int AnswerInfoOptions(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out << kHelp;
            return 0;
        }
        if (arg == "--version") {
            out << "flashwell " << kFlashwellVersion << "\n";
            return 0;
        }
    }
    return -1;
}
