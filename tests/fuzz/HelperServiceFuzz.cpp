// A member of the helper's group driving it with any sequence of requests: whatever they send, the
// helper changes only what it added itself, on one card, and takes that away on its way out.
// Input: one byte of the system's state before the job, then requests of 164 bytes each.
#include "helper/HelperService.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeHelperHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    testsupport::FakeHelperHost host;
    const std::uint8_t state = data[0];
    // The system's own route (no mark), a dead job's marked one, a pinned neighbour, a busy card.
    if (state & 1)
        host.routes[2] = {false, false};
    if (state & 2)
        host.routes[3] = {true, false};
    if (state & 4)
        host.neighbours[{2, 0xA9FE0101u}] = true;
    if (state & 8)
        host.neighbours[{3, 0xA9FE0101u}] = false;
    if (state & 16)
        host.busyCards = {"eth1"};

    HelperService service(host);
    std::string bound;
    for (std::size_t at = 1; at + kHelperRequestLength <= size && at < 1 + 64 * kHelperRequestLength;
         at += kHelperRequestLength) {
        ExactBuffer exact({data + at, kHelperRequestLength});
        std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(exact.data()), exact.size());
        HelperRequest request;
        const bool parsed = HelperRequest::parse(bytes, request) == HelperRefusal::None;
        const auto routesBefore = host.routes;
        UniqueFd passed;
        const HelperReply reply = service.Handle(bytes, passed);
        FUZZ_CHECK(passed.valid() ==
                   (reply.outcome == HelperOutcome::Done && parsed && request.op == HelperOp::OpenDiscoverySocket));
        // One card a job: once bound, the helper's card never changes.
        FUZZ_CHECK(bound.empty() || service.Card() == bound);
        bound = service.Card();
        for (const auto& [ifindex, route] : routesBefore) {
            if (host.routes.contains(ifindex))
                continue;
            // Only a marked route goes, and one the helper did not add only by a reclaim of a free card.
            FUZZ_CHECK(route.marked);
            FUZZ_CHECK(route.byService ||
                       (parsed && request.op == HelperOp::ReclaimLinkLocalRoute && !host.busyCards.contains(bound)));
        }
    }
    for (const std::string& change : host.changes) {
        unsigned ifindex = 0;
        host.Find(bound, ifindex);
        const auto first = change.find(' ');
        FUZZ_CHECK(change.substr(first + 1, change.find(' ', first + 1) - first - 1) == std::to_string(ifindex));
    }
    FUZZ_CHECK(host.socketsGiven <= 1);
    FUZZ_CHECK(!(state & 1) || host.routes.contains(2));
    FUZZ_CHECK(!(state & 4) || host.neighbours.contains({2, 0xA9FE0101u}));
    FUZZ_CHECK(service.Finish());
    for (const auto& [ifindex, route] : host.routes)
        FUZZ_CHECK(!route.byService);
    return 0;
}
