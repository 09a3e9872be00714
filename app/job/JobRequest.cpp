#include "app/job/JobRequest.h"

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
