#pragma once

#include <cstddef>
#include <memory>

#include "engine/CameraMachine.h"
#include "engine/JobRequest.h"

// What sets one workflow apart from the others in the engine, in one row of one table: a new
// workflow is a machine and a row here, not a case in every switch.
struct WorkflowTraits {
    Workflow workflow;
    const char* name; // in the records, their file names and --json
    // How many of its cameras work at once given --parallel's number (0: not given); 0 for all.
    std::size_t (*atOnce)(std::size_t parallel);
    // Every camera's machine runs and only the uploads take turns, atOnce of them at a time.
    bool turns;
    // The state machine that does its work for one camera.
    std::unique_ptr<CameraMachine> (*machine)(const JobRequest& request, const Target& camera);
};

const WorkflowTraits& TraitsOf(Workflow workflow);
