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
    fPictures.erase(states[position]);
    delete states[position];
}

void VTHistoryStateStack::DropOldest()
{
    Delete(0);
    // The steps 1 to current move down one place; the last place is emptied.
    memmove(states, states + 1, size_t(current) * sizeof *states);
    states[current] = nullptr;
}

void VTHistoryStateStack::NotePictures(const VTHistoryState* state)
{
    Pictures pictures;
    state->AddPictures(pictures);
    if (pictures.empty())
        fPictures.erase(state);
    else
        fPictures[state] = std::move(pictures);
}

uint64_t VTHistoryStateStack::GetMemorySize() const
{
    const auto live = ProjectPictures(project);
    std::unordered_set<const VTCountableImageBuffer*> counted;
    uint64_t total = 0;
    for (const auto& [state, pictures] : fPictures)
        for (const VTCountableImageBuffer* picture : pictures)
            if (!live.count(picture) && counted.insert(picture).second)
                total += picture->GetMemorySize();
    return total;
}

void VTHistoryStateStack::KeepWithinBudget()
{
    if (fBusy || memoryBudget == UINT64_MAX || count < 2 || fPictures.empty())
        return;
    // How many steps hold each picture that the project does not, and its size, taken once.
    const auto live = ProjectPictures(project);
    struct Held {
        uint64_t steps = 0;
        uint64_t bytes = 0;
    };
    std::unordered_map<const VTCountableImageBuffer*, Held> held;
    uint64_t total = 0;
    for (const auto& [state, pictures] : fPictures) {
        for (const VTCountableImageBuffer* picture : pictures) {
            if (live.count(picture))
                continue;
            Held& h = held[picture];
            if (h.steps++ == 0) {
                h.bytes = picture->GetMemorySize();
                total += h.bytes;
            }
        }
    }
    while (total > memoryBudget && count > 1) {
        if (auto it = fPictures.find(states[0]); it != fPictures.end()) {
            for (const VTCountableImageBuffer* picture : it->second) {
                auto h = held.find(picture);
                if (h != held.end() && --h->second.steps == 0)
                    total -= h->second.bytes;
            }
        }
        DropOldest();
        current -= 1;
        count -= 1;
    }
}

void VTHistoryStateStack::Reset()
{
    for (uint64_t i = 0; i < count; ++i)
        delete states[i];
    delete[] states;
    fPictures.clear();
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
