#include "app/VTHistoryStateStack.h"

#include <cstring>

namespace {

constexpr uint64_t kBlock = 16;

} // namespace

void VTHistoryStateStack::Add(VTHistoryState* state)
{
    if (!state)
        return;
    if (maxDepth == 0) {
        delete state;
        Reset();
        return;
    }
    current += 1;
    // The steps that could have been redone.
    for (uint64_t i = uint64_t(current); i < count; ++i) {
        delete states[i];
        states[i] = nullptr;
    }
    if (uint64_t(current) >= maxDepth) {
        current -= 1;
        delete states[0];
        memmove(states, states + 1, size_t(current) * sizeof *states);
        states[current] = nullptr;
    }
    count = uint64_t(current) + 1;

    uint64_t wanted = capacity;
    if (wanted < count)
        wanted += kBlock;
    while (wanted - count > kBlock)
        wanted -= kBlock;
    if (wanted != capacity) {
        auto** grown = new VTHistoryState*[wanted]();
        if (states)
            memcpy(grown, states, size_t(current) * sizeof *states);
        delete[] states;
        states = grown;
        capacity = wanted;
    }
    states[current] = state;
}

void VTHistoryStateStack::Reset()
{
    for (uint64_t i = 0; i < count; ++i)
        delete states[i];
    delete[] states;
    states = nullptr;
    current = -1;
    count = 0;
    capacity = 0;
}

bool VTHistoryStateStack::Undo()
{
    if (current == -1)
        return false;
    states[current]->Undo();
    current -= 1;
    return true;
}

bool VTHistoryStateStack::Redo()
{
    if (current + 1 >= int64_t(count))
        return false;
    current += 1;
    states[current]->Redo();
    return true;
}
