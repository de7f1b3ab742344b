#include "lfw/gen/LStringList.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace {
constexpr size_t kInitialSlots = 256;
}

LStringListTemplate<char>::LStringListTemplate()
    : m_items(new char*[kInitialSlots])
    , m_count(0)
    , m_capacity(kInitialSlots - 1)
{
    m_items[0] = nullptr;
}

LStringListTemplate<char>::~LStringListTemplate()
{
    Clear();
    delete[] m_items;
}

LStringListTemplate<char>::LStringListTemplate(const LStringListTemplate& o)
    : LStringListTemplate()
{
    for (size_t i = 0; i < o.m_count; ++i)
        Add(o.m_items[i]);
}

LStringListTemplate<char>& LStringListTemplate<char>::operator=(const LStringListTemplate& o)
{
    if (this != &o) {
        LStringListTemplate copy(o);
        Swap(copy);
    }
    return *this;
}

LStringListTemplate<char>::LStringListTemplate(LStringListTemplate&& o) noexcept
    : LStringListTemplate()
{
    Swap(o);
}

LStringListTemplate<char>& LStringListTemplate<char>::operator=(LStringListTemplate&& o) noexcept
{
    Swap(o);
    return *this;
}

void LStringListTemplate<char>::Swap(LStringListTemplate& o) noexcept
{
    std::swap(m_items, o.m_items);
    std::swap(m_count, o.m_count);
    std::swap(m_capacity, o.m_capacity);
}

char* LStringListTemplate<char>::Add(size_t n)
{
    if (m_count == m_capacity) {
        if (m_count > SIZE_MAX / sizeof(char*) / 8 - 1)
            throw std::length_error("LStringListTemplate");
        size_t slots = 8 * (m_count + 1);
        char** items = new char*[slots];
        std::memcpy(items, m_items, m_count * sizeof(char*));
        delete[] m_items;
        m_items = items;
        m_capacity = slots - 1;
    }
    char* item = new char[n ? n : 1];
    item[0] = 0;
    m_items[m_count++] = item;
    m_items[m_count] = nullptr;
    return item;
}

char* LStringListTemplate<char>::Add(const char* text)
{
    size_t n = text ? std::strlen(text) : 0;
    char* item = Add(n + 1);
    if (n)
        std::memcpy(item, text, n + 1);
    return item;
}

void LStringListTemplate<char>::Clear()
{
    for (size_t i = 0; i < m_count; ++i)
        delete[] m_items[i];
    m_count = 0;
    m_items[0] = nullptr;
}
