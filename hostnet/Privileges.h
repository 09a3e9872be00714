#pragma once

// What the process may do to the network stack: the two capabilities the workflows use, as the
// process holds them now (root, file capabilities of an installed binary, or neither).
struct NetworkRights {
    bool netAdmin = false; // routes, the card's addresses, receive buffers past the system limit
    bool netRaw = false;   // ARP probes on a packet socket, pings on a raw socket
};

NetworkRights CurrentNetworkRights();
