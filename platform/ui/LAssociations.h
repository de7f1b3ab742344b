// Data associated with a window-layer object under static keys (the address of a one-byte static
// variable; only the address matters). Two kinds: plain 64-bit values (integers or raw pointers
// the object does not own) and owned objects (kept alive while associated).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class LAssociations {
public:
    LAssociations() = default;
    LAssociations(const LAssociations&) = delete;
    LAssociations& operator=(const LAssociations&) = delete;

    // Stores a value under the key, replacing an earlier one.
    void SetAssociatedValue(const void* key, uint64_t value);
    // The stored value, 0 when none.
    uint64_t GetAssociatedValue(const void* key) const;
    bool HasAssociatedValue(const void* key) const;
    void RemoveAssociatedValue(const void* key);

    // Keeps an object under the key; null removes it.
    void SetAssociatedObject(const void* key, std::shared_ptr<void> object);
    std::shared_ptr<void> GetAssociatedObject(const void* key) const;
    template <class T> T* GetAssociatedObjectAs(const void* key) const
    {
        return static_cast<T*>(GetAssociatedObject(key).get());
    }

    // Drops every association (the owner is going away).
    void RemoveAllAssociations();

private:
    struct Entry {
        const void* key;
        uint64_t value;
        std::shared_ptr<void> object;
        bool hasValue;
    };
    Entry* Find(const void* key);
    const Entry* Find(const void* key) const;

    std::vector<Entry> fEntries; // few per object: a linear search is the fastest
};
