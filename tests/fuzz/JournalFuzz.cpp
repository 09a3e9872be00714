// The journal of pending restores: read at every start of either front end, and written by
// whatever else runs with the user's rights. A damaged one must be refused, never crash or hang.
// Input: the file's bytes.
#include "engine/RestoreJournal.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool sameRestores(const RestoreJournal::Contents& a, const RestoreJournal::Contents& b) {
    if (a.restores.size() != b.restores.size() || a.routes.size() != b.routes.size())
        return false;
    for (std::size_t i = 0; i < a.restores.size(); ++i) {
        const PendingRestore &x = a.restores[i], &y = b.restores[i];
        if (x.mac != y.mac || x.home != y.home || x.movedTo != y.movedTo || x.adapter != y.adapter ||
            x.command != y.command || x.owner.pid != y.owner.pid)
            return false;
    }
    for (std::size_t i = 0; i < a.routes.size(); ++i)
        if (a.routes[i].adapter != b.routes[i].adapter || a.routes[i].ifindex != b.routes[i].ifindex)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto parsed = RestoreJournal::Parse(AsText({data, size}));
    if (!parsed) {
        FUZZ_CHECK(!parsed.Message().empty());
        return 0;
    }
    // Every command the journal would send is a whole set-network datagram.
    for (const PendingRestore& r : parsed.Value().restores)
        FUZZ_CHECK(r.command.size() == kAnyAddressDatagramLength);
    // What was read, once written, reads back the same.
    auto again = RestoreJournal::Parse(RestoreJournal::Format(parsed.Value()));
    FUZZ_CHECK(again.Ok());
    FUZZ_CHECK(!again || sameRestores(again.Value(), parsed.Value()));
    return 0;
}
