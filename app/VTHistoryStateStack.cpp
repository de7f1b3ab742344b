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
    current += 1;
    // The steps that could have been redone.
    for (uint64_t i = uint64_t(current); i < count; ++i) {
        Delete(i);
        states[i] = nullptr;
    }
    if (uint64_t(current) >= maxDepth) {
        current -= 1;
        DropOldest();
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
    NotePictures(state);
    KeepWithinBudget();
}

void VTHistoryStateStack::Delete(uint64_t position)
{
    ForgetPictures(states[position]);
    delete states[position];
}

void VTHistoryStateStack::DropOldest()
{
    Delete(0);
    // The steps 1 to current move down one place; the last place is emptied.
    memmove(states, states + 1, size_t(current) * sizeof *states);
    states[current] = nullptr;
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

void VTHistoryStateStack::KeepWithinBudget()
{
    if (fBusy || memoryBudget == UINT64_MAX || count < 2 || fHeld.empty())
        return;
    // Within the budget even with the project's own pictures counted: nothing more to look at.
    std::unordered_map<const VTCountableImageBuffer*, uint64_t> sizes;
    uint64_t total = 0;
    for (const auto& [picture, steps] : fHeld)
        total += sizes[picture] = picture->GetMemorySize();
    if (total <= memoryBudget)
        return;
    const auto live = ProjectPictures(project);
    for (const VTCountableImageBuffer* picture : live)
        if (auto size = sizes.find(picture); size != sizes.end())
            total -= size->second;
    while (total > memoryBudget && count > 1) {
        Pictures oldest;
        if (auto noted = fPictures.find(states[0]); noted != fPictures.end())
            oldest = noted->second;
        DropOldest();
        current -= 1;
        count -= 1;
        // The pictures no step holds any more, and the project neither, are let go.
        for (const VTCountableImageBuffer* picture : oldest) {
            auto size = sizes.find(picture);
            if (size != sizes.end() && !fHeld.count(picture) && !live.count(picture)) {
                total -= size->second;
                sizes.erase(size);
            }
        }
    }
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
