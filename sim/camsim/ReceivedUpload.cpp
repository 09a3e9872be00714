#include "sim/camsim/ReceivedUpload.h"

#include <algorithm>

void ReceivedUpload::add(std::string_view bytes) {
    m_size += bytes.size();
    if (m_head.size() < kKeep) {
        std::size_t take = std::min(kKeep - m_head.size(), bytes.size());
        m_head.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
    }
    m_tail.append(bytes);
    // Trimming only past twice the size keeps the copying linear in the body's length.
    if (m_tail.size() > 2 * kKeep)
        m_tail.erase(0, m_tail.size() - kKeep);
}

std::string ReceivedUpload::compact() const {
    std::size_t tail = std::min(kKeep, m_tail.size());
    return m_head + m_tail.substr(m_tail.size() - tail);
}
