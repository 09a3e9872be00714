#include "helper/HelperService.h"

#include <cerrno>

#include "hostnet/CardLock.h"
#include "hostnet/ProbeWire.h"

namespace {

HelperReply probed(ProbeResult r) {
    return HelperReply::Done(static_cast<std::uint32_t>(ProbeToWire(r)));
}

} // namespace

HelperRefusal HelperService::bind(const HelperRequest& request, unsigned& ifindex) {
    ifindex = 0;
    if (request.interfaceName.empty())
        return HelperRefusal::None;
    // One job, one card: a member cannot reach a second card through the same helper.
    if (!m_card.empty() && request.interfaceName != m_card)
        return HelperRefusal::OtherCard;
    switch (m_host.Find(request.interfaceName, ifindex)) {
    case HelperHost::Card::Missing:
        return HelperRefusal::NoSuchInterface;
    case HelperHost::Card::Loopback:
        return HelperRefusal::LoopbackInterface;
    case HelperHost::Card::Usable:
        break;
    }
    // A card made anew under the same name took the route of the old one with it.
    if (m_routeAddedOn != 0 && m_routeAddedOn != ifindex)
        m_routeAddedOn = 0;
    m_card = request.interfaceName;
    return HelperRefusal::None;
}

HelperReply HelperService::Handle(std::span<const std::uint8_t> bytes, UniqueFd& passed) {
    HelperRequest request;
    if (HelperRefusal why = HelperRequest::parse(bytes, request); why != HelperRefusal::None)
        return HelperReply::Refused(why);
    unsigned ifindex = 0;
    if (HelperRefusal why = bind(request, ifindex); why != HelperRefusal::None)
        return HelperReply::Refused(why);
    return carryOut(request, ifindex, passed);
}

HelperReply HelperService::carryOut(const HelperRequest& request, unsigned ifindex, UniqueFd& passed) {
    switch (request.op) {
    case HelperOp::AddLinkLocalRoute: {
        bool added = false;
        if (!m_host.AddRoute(ifindex, added))
            return HelperReply::Failed();
        if (added)
            m_routeAddedOn = ifindex;
        return HelperReply::Done(added ? 1 : 0);
    }
    case HelperOp::RemoveLinkLocalRoute:
        if (m_routeAddedOn != ifindex)
            return HelperReply::Refused(HelperRefusal::NothingAdded);
        if (!m_host.RemoveMarkedRoute(ifindex))
            return HelperReply::Failed();
        m_routeAddedOn = 0;
        return HelperReply::Done();
    case HelperOp::ReclaimLinkLocalRoute:
        return reclaim(ifindex);
    case HelperOp::ArpProbe:
        // The helper adds no address to a card, so the only sender it may speak for is none (RFC 5227).
        if (request.source != 0)
            return HelperReply::Refused(HelperRefusal::SourceNotOnCard);
        return probed(m_host.Arp(request.address, ifindex, m_stop));
    case HelperOp::RawPing:
        return probed(m_host.Ping(request.address, m_stop));
    case HelperOp::ForgetNeighbour:
        switch (m_host.ForgetNeighbour(request.address, ifindex)) {
        case NeighbourForget::Forgotten:
            return HelperReply::Done();
        case NeighbourForget::Pinned:
            return HelperReply::Refused(HelperRefusal::PinnedNeighbour);
        case NeighbourForget::Failed:
            break;
        }
        return HelperReply::Failed();
    case HelperOp::OpenDiscoverySocket: {
        if (m_socketGiven)
            return HelperReply::Refused(HelperRefusal::SocketGiven);
        bool full = false;
        int error = 0;
        passed = m_host.DiscoverySocket(request.port, full, error);
        if (!passed.valid())
            return HelperReply::Failed(static_cast<std::uint32_t>(error));
        m_socketGiven = true;
        return HelperReply::Done(full ? 1 : 0);
    }
    }
    return HelperReply::Refused(HelperRefusal::UnknownOperation);
}

// A route with our mark that no running job holds is a dead job's: the journal that asks for this
// only says where to look, the mark and the free lock decide.
HelperReply HelperService::reclaim(unsigned ifindex) {
    if (m_routeAddedOn == ifindex)
        return HelperReply::Refused(HelperRefusal::AlreadyAdded);
    auto lock = m_host.LockCard(m_card);
    if (!lock)
        return HelperReply::Refused(HelperRefusal::CardBusy);
    if (!m_host.MarkedRoutePresent(ifindex))
        return HelperReply::Done(0);
    return m_host.RemoveMarkedRoute(ifindex) ? HelperReply::Done(1) : HelperReply::Failed();
}

bool HelperService::Finish() {
    if (m_routeAddedOn == 0)
        return true;
    const bool removed = m_host.RemoveMarkedRoute(m_routeAddedOn);
    if (removed)
        m_routeAddedOn = 0;
    return removed;
}
