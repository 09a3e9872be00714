#include "engine/JobRequest.h"

#include "engine/Workflows.h"

const char* WorkflowName(Workflow workflow) {
    return TraitsOf(workflow).name;
}

std::size_t CamerasAtOnce(const JobRequest& request) {
    return TraitsOf(request.workflow).atOnce(request.options.parallel);
}
