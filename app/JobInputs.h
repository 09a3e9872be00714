#pragma once

#include <memory>
#include <string>
#include <vector>

#include "discovery/DeviceInfo.h"
#include "discovery/ListModel.h"
#include "discovery/WireProtocol.h"
#include "engine/JobRequest.h"
#include "engine/RestoreJournal.h"

// The range both front ends start from: the window's boxes, and the console without --range.
inline constexpr const char* kDefaultRangeStart = "31";
inline constexpr const char* kDefaultRangeEnd = "250";

// What a front end's own inputs held when a workflow was asked for: the window's boxes and
// selection, or the console's arguments. Neither front end reads the other's.
struct JobInputs {
    std::vector<Mac> selected; // the cameras chosen, by MAC; the job takes them in list order
    Login login;
    std::string firmwarePath; // an upgrade's image, read on the job's own thread
    // The same image read already (the console reads it before its search); the path is then unused.
    std::shared_ptr<const FirmwareImage> image;
    std::string rangeStart, rangeEnd; // re-addressing's range as typed
};

// The MACs of the cameras at these rows of the list (a row the list no longer has is left out).
std::vector<Mac> MacsAtRows(const ListModel& list, const std::vector<int>& rows);
// The MACs of every listed camera, in list order: what a check of the window asks.
std::vector<Mac> ListedMacs(const ListModel& list);

// What a press fixed on the window's thread; the job's request is made of it once, on the job's.
struct Press {
    Workflow workflow = Workflow::Upgrade;
    JobInputs inputs;
    JobOptions options;
    std::vector<DeviceInfo> listed;   // the list in its order, as it stood
    std::vector<PendingRestore> away; // the journal's cameras away from home
    JobAdapter adapter;
    AddressRange range; // re-addressing only
};

// The selected cameras that the list holds, in list order: what a job of the press works on.
std::vector<Target> PressTargets(const Press& press);

// The job's whole request, made once from the press: nothing writes it afterwards.
std::shared_ptr<JobRequest> MakeRequest(const Press& press, std::shared_ptr<const FirmwareImage> image = nullptr);
