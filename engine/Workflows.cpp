#include "engine/Workflows.h"

#include "engine/CheckMachine.h"
#include "engine/HomecomingMachine.h"
#include "engine/ReaddressMachine.h"
#include "engine/ResetMachine.h"
#include "engine/UpgradeMachine.h"

namespace {

std::size_t all(std::size_t) {
    return 0;
}

// A check asks one at a time or --parallel's number: a dead camera costs seconds of time-outs.
std::size_t asked(std::size_t parallel) {
    return parallel > 0 ? parallel : 1;
}

// An upgrade's machines all run; --parallel limits the uploads that take turns.
std::size_t uploads(std::size_t parallel) {
    return parallel;
}

// Re-addressing takes one after another: each takes the next free address of the range.
std::size_t oneByOne(std::size_t) {
    return 1;
}

const WorkflowTraits kWorkflows[] = {
    {Workflow::Upgrade, "upgrade", uploads, true,
     [](const JobRequest& r, const Target& c) -> std::unique_ptr<CameraMachine> {
         return std::make_unique<UpgradeMachine>(c, r.image, r.options);
     }},
    {Workflow::CheckVersion, "check-version", asked, false,
     [](const JobRequest&, const Target& c) -> std::unique_ptr<CameraMachine> {
         return std::make_unique<CheckMachine>(c);
     }},
    {Workflow::Reset, "reset", all, false,
     [](const JobRequest& r, const Target& c) -> std::unique_ptr<CameraMachine> {
         return std::make_unique<ResetMachine>(c, r.options.rebootTimeout);
     }},
    {Workflow::AutoIp, "auto-ip", oneByOne, false,
     [](const JobRequest& r, const Target& c) -> std::unique_ptr<CameraMachine> {
         return std::make_unique<ReaddressMachine>(c, r.range.network);
     }},
    {Workflow::Homecoming, "homecoming", all, false,
     [](const JobRequest&, const Target& c) -> std::unique_ptr<CameraMachine> {
         return std::make_unique<HomecomingMachine>(c);
     }},
};

} // namespace

const WorkflowTraits& TraitsOf(Workflow workflow) {
    for (const WorkflowTraits& traits : kWorkflows)
        if (traits.workflow == workflow)
            return traits;
    return kWorkflows[0]; // every workflow has its row; a test of the table says so
}
