#pragma once

#include <istream>
#include <ostream>
#include <string>

// "flashwell-cli journal": the cameras an earlier job could not see home, read from the journal
// in folder without a search; "journal forget MAC|all" takes them out, after a question on a
// terminal, or at once with yes. The exit status.
struct JournalCommand {
    std::string folder;
    bool forget = false;
    std::string which; // a MAC address or all
    bool yes = false;
    bool json = false;
};

int RunJournal(const JournalCommand& c, std::istream& in, bool interactive, std::ostream& out, std::ostream& err);
