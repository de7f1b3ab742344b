#pragma once
// A list of owned NUL-terminated texts. The pointer array is always allocated and always ends in a
// null pointer after the last item, so it can be handed on as a char** list.

#include <cstddef>

template <class T> class LStringListTemplate;

template <> class LStringListTemplate<char> {
public:
    LStringListTemplate();
    ~LStringListTemplate();
    LStringListTemplate(const LStringListTemplate& o);
    LStringListTemplate& operator=(const LStringListTemplate& o);
    LStringListTemplate(LStringListTemplate&& o) noexcept;
    LStringListTemplate& operator=(LStringListTemplate&& o) noexcept;

    // Appends a new item of n bytes whose first byte is 0 and returns it.
    char* Add(size_t n);
    // Appends an owned copy of text (a null text adds "").
    char* Add(const char* text);
    // Frees every item; the pointer array stays.
    void Clear();

    size_t GetCount() const { return m_count; }
    size_t GetCapacity() const { return m_capacity; }
    const char* operator[](size_t i) const { return m_items[i]; }
    char* Get(size_t i) { return m_items[i]; }
    // The null-terminated item array.
    char* const* GetItems() const { return m_items; }

    const char* const* begin() const { return m_items; }
    const char* const* end() const { return m_items + m_count; }

private:
    void Swap(LStringListTemplate& o) noexcept;

    char** m_items;
    size_t m_count;
    size_t m_capacity;
};
