#pragma once

#include <atomic>
#include <optional>

#include "discovery/ListModel.h"

// Between the list's writers and the one view that repaints from it: a writer asks for a repaint
// only when none is pending, and no write is ever left without one. The pending mark is cleared
// before the view takes the changes, so a write that lands while it takes them asks again.
class ChangeRelay {
public:
    // From a writer's thread: true when the view must be asked to repaint.
    bool Changed() { return !m_pending.exchange(true); }
    // From the view's thread: the changes since its last turn, or nothing when a writer holds the
    // rows just now (the view then tries again soon).
    template <typename Model> std::optional<ListChanges> Take(Model& model) {
        m_pending = false;
        return model.TryTakeChanges();
    }

private:
    std::atomic<bool> m_pending{false};
};
