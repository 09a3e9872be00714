#include "app/JobInputs.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "discovery/DeviceRows.h"

namespace {

// A camera an earlier job could not see home is listed where it is; its home is the journal's, and
// it is sent there before its work begins.
void awayFromHome(Target& t, const PendingRestore& pending) {
    const Ipv4 listedAt = t.ip;
    SetNetworkCommand home;
    if (SetNetworkCommand::parse(pending.command, home) == ParseStatus::Ok) {
        t.ip = home.ip;
        t.netmask = home.netmask;
        if (home.hasGateway)
            t.gateway = home.gateway;
    } else {
        ParseIpv4(pending.home, t.ip);
    }
    // Where its own reply last showed it, which the journal may not know (a later job moved it on).
    t.awayAt = listedAt != t.ip ? FormatIpv4(listedAt) : pending.movedTo;
    t.homeCommand = pending.command;
}

// The addresses that more than one listed camera reports: such cameras are told apart by MAC.
std::set<Ipv4> sharedAddresses(const std::vector<DeviceInfo>& listed) {
    std::set<Ipv4> seen, shared;
    for (const DeviceInfo& d : listed)
        if (!seen.insert(d.ip).second)
            shared.insert(d.ip);
    return shared;
}

} // namespace

std::vector<Mac> MacsAtRows(const ListModel& list, const std::vector<int>& rows) {
    const std::vector<ListRow> shown = list.Rows();
    std::vector<Mac> macs;
    for (int row : rows)
        if (row >= 0 && static_cast<std::size_t>(row) < shown.size())
            macs.push_back(shown[static_cast<std::size_t>(row)].mac());
    return macs;
}

std::vector<Mac> ListedMacs(const ListModel& list) {
    std::vector<Mac> macs;
    for (const ListRow& row : list.Rows())
        macs.push_back(row.mac());
    return macs;
}

std::vector<Target> PressTargets(const Press& press) {
    const std::set<Mac> chosen(press.inputs.selected.begin(), press.inputs.selected.end());
    const std::set<Ipv4> shared = sharedAddresses(press.listed);
    std::map<Mac, const PendingRestore*> away;
    for (const PendingRestore& r : press.away)
        away[r.mac] = &r;
    std::vector<Target> targets;
    for (std::size_t row = 0; row < press.listed.size(); ++row) {
        const DeviceInfo& d = press.listed[row];
        if (!chosen.contains(d.mac))
            continue;
        Target t;
        t.mac = d.mac;
        t.name = d.name;
        t.displayName = NameText(d);
        t.ip = d.ip;
        t.netmask = d.netmask;
        t.gateway = d.gateway;
        t.webPort = d.webPort;
        t.ifType = d.ifType;
        t.kind = d.kind;
        t.row = static_cast<int>(row);
        t.sharesAddress = shared.contains(d.ip);
        if (auto pending = away.find(d.mac); pending != away.end())
            awayFromHome(t, *pending->second);
        targets.push_back(std::move(t));
    }
    return targets;
}

std::shared_ptr<JobRequest> MakeRequest(const Press& press, std::shared_ptr<const FirmwareImage> image) {
    auto request = std::make_shared<JobRequest>();
    request->workflow = press.workflow;
    request->login = press.inputs.login;
    request->targets = PressTargets(press);
    request->adapter = press.adapter;
    request->image = std::move(image);
    request->range = press.range;
    request->options = press.options;
    return request;
}
