#include "platform/ui/LAssociations.h"

#include <algorithm>

LAssociations::Entry* LAssociations::Find(const void* key)
{
    for (Entry& e : fEntries)
        if (e.key == key)
            return &e;
    return nullptr;
}

const LAssociations::Entry* LAssociations::Find(const void* key) const
{
    for (const Entry& e : fEntries)
        if (e.key == key)
            return &e;
    return nullptr;
}

void LAssociations::SetAssociatedValue(const void* key, uint64_t value)
{
    if (Entry* e = Find(key)) {
        e->value = value;
        e->hasValue = true;
        e->object.reset();
        return;
    }
    fEntries.push_back(Entry { key, value, nullptr, true });
}

uint64_t LAssociations::GetAssociatedValue(const void* key) const
{
    const Entry* e = Find(key);
    return e && e->hasValue ? e->value : 0;
}

bool LAssociations::HasAssociatedValue(const void* key) const
{
    const Entry* e = Find(key);
    return e && e->hasValue;
}

void LAssociations::RemoveAssociatedValue(const void* key)
{
    auto it = std::find_if(
        fEntries.begin(), fEntries.end(), [key](const Entry& e) { return e.key == key; });
    if (it == fEntries.end())
        return;
    // Moving the entry out first: its object's destructor may touch this store.
    Entry gone = std::move(*it);
    fEntries.erase(it);
}

void LAssociations::SetAssociatedObject(const void* key, std::shared_ptr<void> object)
{
    if (!object) {
        RemoveAssociatedValue(key);
        return;
    }
    if (Entry* e = Find(key)) {
        std::shared_ptr<void> old = std::move(e->object);
        e->object = std::move(object);
        e->hasValue = false;
        e->value = 0;
        return;
    }
    fEntries.push_back(Entry { key, 0, std::move(object), false });
}

std::shared_ptr<void> LAssociations::GetAssociatedObject(const void* key) const
{
    const Entry* e = Find(key);
    return e ? e->object : nullptr;
}

void LAssociations::RemoveAllAssociations()
{
    std::vector<Entry> gone;
    gone.swap(fEntries);
}
