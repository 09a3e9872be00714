#include "engine/JobRequest.h"

const char* WorkflowName(Workflow workflow) {
    switch (workflow) {
    case Workflow::Upgrade:
        return "upgrade";
    case Workflow::CheckVersion:
        return "check-version";
    case Workflow::Reset:
        return "reset";
    case Workflow::Homecoming:
        return "homecoming";
    case Workflow::AutoIp:
        break;
    }
    return "auto-ip";
}

std::size_t CamerasAtOnce(const JobRequest& request) {
    const std::size_t parallel = request.options.parallel;
    switch (request.workflow) {
    case Workflow::Upgrade:
        return parallel;
    case Workflow::CheckVersion:
        return parallel > 0 ? parallel : 1;
    case Workflow::AutoIp:
        return 1;
    case Workflow::Reset:
    case Workflow::Homecoming:
        break;
    }
    return 0;
}
