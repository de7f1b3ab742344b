// The undo history: a bounded stack of steps, owned by the project viewer (which sets maxDepth
// before use, 100 there). Steps 0 to current can be undone, the last first; steps current + 1 to
// count - 1 redone. Adding a step cuts off the steps that could be redone; when the stack is
// full, the oldest step goes. The pointer array grows and shrinks in blocks of 16.
//
// The history is bounded by memory too: the pictures its steps hold (a deleted photograph, the
// photograph an edit replaced) count against memoryBudget, beyond the pictures of the open
// project, which the steps share with it. A picture held by several steps counts once. When the
// history is past the budget (a step added, an edit or a picture's stored bytes made it grow),
// steps go until it is within: first those that wait to be redone, the newest first, then the
// oldest that can be undone. The step at current is kept (the last edit can always be undone).
#pragma once

#include "app/VTHistoryState.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class VTProject;

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
    // The memory of the pictures the steps hold that the project does not (each counted once).
    uint64_t GetMemorySize() const;
    // Drops steps while the history is past its budget, in the order above; true when it dropped
    // any (what can be undone or redone has changed). Add does it; the owner calls it once an
    // edit has taken pictures out of the project (a deletion), which the step, made before the
    // edit, could not see, and whenever a picture of the steps has grown. Nothing while a step
    // is added, undone or redone.
    bool KeepWithinBudget();

    int64_t current = -1;
    uint64_t count = 0;
    uint64_t capacity = 0;
    uint64_t maxDepth = 0;
    VTHistoryState** states = nullptr;
    // The memory the steps may hold beyond the project's own pictures.
    uint64_t memoryBudget = UINT64_MAX;
    // The open project (not owned), whose pictures the steps' memory leaves out; null for none.
    const VTProject* project = nullptr;

private:
    using Pictures = std::vector<const VTCountableImageBuffer*>;
    // Deletes the step at the position (the array is left as it is) and forgets its pictures.
    void Delete(uint64_t position);
    // Deletes the step at the position and moves the ones above it down; count, and current
    // when the step was at or below it, go down by one.
    void Remove(uint64_t position);
    // Notes the pictures the step holds now (after it was made, undone or redone).
    void NotePictures(const VTHistoryState* state);
    // Forgets the pictures noted for the step.
    void ForgetPictures(const VTHistoryState* state);

    // The pictures of each step, and how often the steps hold each picture, kept so that the
    // budget is checked without walking every step's overlays.
    std::unordered_map<const VTHistoryState*, Pictures> fPictures;
    std::unordered_map<const VTCountableImageBuffer*, uint64_t> fHeld;
    // A step is being added, undone or redone (its edit tells the owner of the changes).
    bool fBusy = false;
};
