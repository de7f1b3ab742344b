#include "app/VTHistoryStateStack.h"

#include "app/VTOverlayImage.h"
#include "app/VTProject.h"

#include <cstring>
#include <unordered_set>

namespace {

constexpr uint64_t kBlock = 16;

// The pictures of the project's designs.
std::unordered_set<const VTCountableImageBuffer*> ProjectPictures(const VTProject* project)
{
    std::unordered_set<const VTCountableImageBuffer*> pictures;
    if (!project)
        return pictures;
    for (const VTProjectTemplate& design : project->templates)
        for (const VTOverlay* overlay = design.first; overlay; overlay = overlay->next)
            if (const VTOverlayImage* image = VTOverlayAsImage(overlay); image && image->image)
                pictures.insert(image->image.get());
    return pictures;
}

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
    // The steps that could have been redone, then the oldest when the stack is full.
    while (CanRedo())
        Remove(count - 1);
    if (count >= maxDepth)
        Remove(0);
    count += 1;
    current = int64_t(count) - 1;

    uint64_t wanted = capacity;
    if (wanted < count)
        wanted += kBlock;
    while (wanted - count > kBlock)
        wanted -= kBlock;
    if (wanted != capacity) {
        auto** grown = new VTHistoryState*[wanted]();
        if (states)
            memcpy(grown, states, size_t(count - 1) * sizeof *states);
        delete[] states;
        states = grown;
        capacity = wanted;
    }
    states[current] = state;
    NotePictures(state);
    KeepWithinBudget();
}

void VTHistoryStateStack::Delete(uint64_t position)
{
    ForgetPictures(states[position]);
    delete states[position];
}

void VTHistoryStateStack::Remove(uint64_t position)
{
    Delete(position);
    // The steps above move down one place; the last place is emptied.
    memmove(
        states + position, states + position + 1, size_t(count - position - 1) * sizeof *states);
    count -= 1;
    states[count] = nullptr;
    if (int64_t(position) <= current)
        current -= 1;
}

void VTHistoryStateStack::ForgetPictures(const VTHistoryState* state)
{
    auto noted = fPictures.find(state);
    if (noted == fPictures.end())
        return;
    for (const VTCountableImageBuffer* picture : noted->second) {
        auto held = fHeld.find(picture);
        if (held != fHeld.end() && --held->second == 0)
            fHeld.erase(held);
    }
    fPictures.erase(noted);
}

void VTHistoryStateStack::NotePictures(const VTHistoryState* state)
{
    ForgetPictures(state);
    Pictures pictures;
    state->AddPictures(pictures);
    if (pictures.empty())
        return;
    for (const VTCountableImageBuffer* picture : pictures)
        ++fHeld[picture];
    fPictures[state] = std::move(pictures);
}

uint64_t VTHistoryStateStack::GetMemorySize() const
{
    const auto live = ProjectPictures(project);
    uint64_t total = 0;
    for (const auto& [picture, steps] : fHeld)
        if (!live.count(picture))
            total += picture->GetMemorySize();
    return total;
}

bool VTHistoryStateStack::KeepWithinBudget()
{
    if (fBusy || memoryBudget == UINT64_MAX || count == 0 || fHeld.empty())
        return false;
    // Within the budget even with the project's own pictures counted: nothing more to look at.
    std::unordered_map<const VTCountableImageBuffer*, uint64_t> sizes;
    uint64_t total = 0;
    for (const auto& [picture, steps] : fHeld)
        total += sizes[picture] = picture->GetMemorySize();
    if (total <= memoryBudget)
        return false;
    const auto live = ProjectPictures(project);
    for (const VTCountableImageBuffer* picture : live)
        if (auto size = sizes.find(picture); size != sizes.end())
            total -= size->second;
    bool dropped = false;
    while (total > memoryBudget) {
        // The newest step that waits to be redone goes first, then the oldest that can be
        // undone; the step of the state shown (current) stays.
        uint64_t position;
        if (CanRedo())
            position = count - 1;
        else if (current > 0)
            position = 0;
        else
            break;
        Pictures held;
        if (auto noted = fPictures.find(states[position]); noted != fPictures.end())
            held = noted->second;
        Remove(position);
        dropped = true;
        // The pictures no step holds any more, and the project neither, are let go.
        for (const VTCountableImageBuffer* picture : held) {
            auto size = sizes.find(picture);
            if (size != sizes.end() && !fHeld.count(picture) && !live.count(picture)) {
                total -= size->second;
                sizes.erase(size);
            }
        }
    }
    return dropped;
}

void VTHistoryStateStack::Reset()
{
    for (uint64_t i = 0; i < count; ++i)
        delete states[i];
    delete[] states;
    fPictures.clear();
    fHeld.clear();
    states = nullptr;
    current = -1;
    count = 0;
    capacity = 0;
}

bool VTHistoryStateStack::Undo()
{
    if (current == -1)
        return false;
    fBusy = true;
    states[current]->Undo();
    fBusy = false;
    NotePictures(states[current]);
    current -= 1;
    return true;
}

bool VTHistoryStateStack::Redo()
{
    if (current + 1 >= int64_t(count))
        return false;
    current += 1;
    fBusy = true;
    states[current]->Redo();
    fBusy = false;
    NotePictures(states[current]);
    return true;
}
