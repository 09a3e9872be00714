#pragma once

#include <string>
#include <utility>

// What the helper program can add to the process's own rights, as its file tells without running it.
enum class HelperState {
    NotPermitted,   // it is there, but this user may not run it (not a member of the group)
    Missing,        // there is no helper where the front ends look for it
    NoCapabilities, // this user may run it, but it would hold neither capability
    Ready,          // this user may run it, and it holds the rights below
};

// What the process may do to the network stack: the two capabilities the workflows use, held by
// the process itself (root) or by the helper it starts for the privileged steps.
struct NetworkRights {
    NetworkRights() = default;
    NetworkRights(bool admin, bool raw, HelperState state = HelperState::NotPermitted, std::string path = {})
        : netAdmin(admin), netRaw(raw), helper(state), helperPath(std::move(path)) {}

    bool netAdmin = false; // routes, the card's addresses, receive buffers past the system limit
    bool netRaw = false;   // ARP probes on a packet socket, pings on a raw socket
    HelperState helper = HelperState::NotPermitted; // why the helper does not make up what is missing
    std::string helperPath;
};

// The capabilities the process itself holds in its effective set now.
NetworkRights CurrentNetworkRights();
