// The undo history: a bounded stack of steps, owned by the project viewer (which sets maxDepth
// before use, 100 there). Steps 0 to current can be undone, the last first; steps current + 1 to
// count - 1 redone. Adding a step cuts off the steps that could be redone; when the stack is
// full, the oldest step goes. The pointer array grows and shrinks in blocks of 16.
#pragma once

#include "app/VTHistoryState.h"

#include <cstdint>

class VTHistoryStateStack {
public:
    VTHistoryStateStack() = default;
    VTHistoryStateStack(const VTHistoryStateStack&) = delete;
    VTHistoryStateStack& operator=(const VTHistoryStateStack&) = delete;
    ~VTHistoryStateStack() { Reset(); }

    // Takes the step (null does nothing). With maxDepth 0 nothing can be kept: the step is
    // deleted and the history emptied.
    void Add(VTHistoryState* state);
    // Deletes every step and the array; maxDepth stays.
    void Reset();

    bool CanUndo() const { return current != -1; }
    bool CanRedo() const { return current + 1 < int64_t(count); }
    // Undoes step current and moves current down; false when there is nothing to undo.
    bool Undo();
    // Moves current up and redoes that step; false when there is nothing to redo.
    bool Redo();
    // The step at a position; null outside 0 to count - 1.
    VTHistoryState* GetState(uint64_t position) const
    {
        return position < count ? states[position] : nullptr;
    }

    int64_t current = -1;
    uint64_t count = 0;
    uint64_t capacity = 0;
    uint64_t maxDepth = 0;
    VTHistoryState** states = nullptr;
};
