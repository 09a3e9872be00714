#include "helper/HelperService.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/capability.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "discovery/DiscoverySocket.h"
#include "helper/HelperCapabilities.h"
#include "hostnet/AdapterConfig.h"
#include "hostnet/ProbeWire.h"
#include "hostnet/Probes.h"
#include "util/Ipv4.h"

namespace {

std::string dotted(std::uint32_t hostOrder) {
    return FormatIpv4(Ipv4FromValue(hostOrder));
}

HelperReply probed(ProbeResult r) {
    return HelperReply::Done(static_cast<std::uint32_t>(ProbeToWire(r)));
}

HelperReply doneIf(bool ok) {
    return ok ? HelperReply::Done() : HelperReply::Failed();
}

} // namespace

HelperRefusal HelperService::CheckSystem(const HelperRequest& request, unsigned& ifindex) {
    ifindex = 0;
    if (request.interfaceName.empty())
        return HelperRefusal::None;
    ifindex = ::if_nametoindex(request.interfaceName.c_str());
    if (ifindex == 0)
        return HelperRefusal::NoSuchInterface;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0)
        return HelperRefusal::NoSuchInterface;
    bool loopback = false, sourceOnCard = request.source == 0;
    for (const ifaddrs* a = all; a; a = a->ifa_next) {
        if (request.interfaceName != a->ifa_name)
            continue;
        loopback = loopback || (a->ifa_flags & IFF_LOOPBACK) != 0;
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET) {
            sockaddr_in address{};
            std::memcpy(&address, a->ifa_addr, sizeof address);
            sourceOnCard = sourceOnCard || ntohl(address.sin_addr.s_addr) == request.source;
        }
    }
    ::freeifaddrs(all);
    if (loopback)
        return HelperRefusal::LoopbackInterface;
    // A probe that names a sender address speaks for the card: only its own addresses may stand there.
    if (!sourceOnCard)
        return HelperRefusal::SourceNotOnCard;
    return HelperRefusal::None;
}

HelperReply HelperService::Handle(std::span<const std::uint8_t> bytes, UniqueFd& passed) {
    HelperRequest request;
    if (HelperRefusal why = HelperRequest::parse(bytes, request); why != HelperRefusal::None)
        return HelperReply::Refused(why);
    unsigned ifindex = 0;
    if (HelperRefusal why = CheckSystem(request, ifindex); why != HelperRefusal::None)
        return HelperReply::Refused(why);
    return carryOut(request, ifindex, passed);
}

HelperReply HelperService::carryOut(const HelperRequest& request, unsigned ifindex, UniqueFd& passed) {
    switch (request.op) {
    case HelperOp::AddLinkLocalRoute: {
        EffectiveCapability admin(CAP_NET_ADMIN);
        LinkLocalRoute route(ifindex);
        const bool ok = route.Ensure();
        const bool added = route.Added();
        route.Release(); // the front end asks for its removal at the end of the job
        return ok ? HelperReply::Done(added ? 1 : 0) : HelperReply::Failed();
    }
    case HelperOp::RemoveLinkLocalRoute: {
        EffectiveCapability admin(CAP_NET_ADMIN);
        return doneIf(LinkLocalRoute::RemoveOurs(ifindex));
    }
    case HelperOp::RestoreAddresses: {
        std::vector<Ipv4Prefix> wanted;
        for (const HelperAddress& e : request.entries)
            wanted.push_back({e.address, e.prefix});
        EffectiveCapability admin(CAP_NET_ADMIN);
        switch (WriteAdapterAddresses(ifindex, wanted)) {
        case AdapterWrite::Unchanged:
            return HelperReply::Done(static_cast<std::uint32_t>(HelperWrite::Unchanged));
        case AdapterWrite::Changed:
            return HelperReply::Done(static_cast<std::uint32_t>(HelperWrite::Changed));
        case AdapterWrite::Failed:
            break;
        }
        return HelperReply::Failed();
    }
    case HelperOp::ArpProbe: {
        EffectiveCapability raw(CAP_NET_RAW);
        const std::string source = request.source == 0 ? "" : dotted(request.source);
        return probed(ArpProbeResult(source, dotted(request.address), ifindex, m_stop));
    }
    case HelperOp::RawPing: {
        EffectiveCapability raw(CAP_NET_RAW);
        return probed(PingProbe(dotted(request.address), IcmpSocketKind::Raw, m_stop));
    }
    case HelperOp::ForgetNeighbour: {
        EffectiveCapability admin(CAP_NET_ADMIN);
        return doneIf(ForgetNeighbour(dotted(request.address), ifindex));
    }
    case HelperOp::OpenDiscoverySocket: {
        EffectiveCapability admin(CAP_NET_ADMIN);
        std::string error;
        passed = OpenDiscoverySocket(request.port, error);
        if (!passed.valid())
            return HelperReply::Failed(static_cast<std::uint32_t>(errno));
        return HelperReply::Done(HasFullReceiveBuffer(passed.get()) ? 1 : 0);
    }
    }
    return HelperReply::Refused(HelperRefusal::UnknownOperation);
}
