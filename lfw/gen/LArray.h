#pragma once
// Raw owned buffers: a data pointer and a size the user sets after filling. Used for byte
// payloads, LZW codes and image work.

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

template <class T> class _LRawArray {
public:
    _LRawArray() = default;
    _LRawArray(const _LRawArray&) = delete;
    _LRawArray& operator=(const _LRawArray&) = delete;
    _LRawArray(_LRawArray&& o) noexcept
        : m_data(std::exchange(o.m_data, nullptr))
        , m_size(std::exchange(o.m_size, 0))
        , m_capacity(std::exchange(o.m_capacity, 0))
    {
    }
    _LRawArray& operator=(_LRawArray&& o) noexcept
    {
        if (this != &o) {
            delete[] m_data;
            m_data = std::exchange(o.m_data, nullptr);
            m_size = std::exchange(o.m_size, 0);
            m_capacity = std::exchange(o.m_capacity, 0);
        }
        return *this;
    }
    ~_LRawArray() { delete[] m_data; }

    // Frees the old array (its contents are not kept) and allocates n elements without throwing;
    // false (data null) when that fails. The size is left to the caller (cut to the capacity).
    bool SetArrayCapacityLarge(size_t n)
    {
        delete[] m_data;
        m_data = nullptr;
        m_capacity = 0;
        if (n)
            m_data = new (std::nothrow) T[n];
        if (m_data)
            m_capacity = n;
        if (m_size > m_capacity)
            m_size = m_capacity;
        return m_data || n == 0;
    }
    // Frees the array; size 0.
    void Free()
    {
        delete[] m_data;
        m_data = nullptr;
        m_size = m_capacity = 0;
    }
    // Replaces the contents with a copy of n elements (false when the allocation fails).
    bool Assign(const T* data, size_t n)
    {
        if (!SetArrayCapacityLarge(n)) {
            m_size = 0;
            return false;
        }
        for (size_t i = 0; i < n; ++i)
            m_data[i] = data[i];
        m_size = n;
        return true;
    }

    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }
    size_t GetSize() const { return m_size; }
    size_t GetCount() const { return m_size; }
    // Sets the number of elements in use (at most the capacity).
    void SetSize(size_t n) { m_size = n <= m_capacity ? n : m_capacity; }
    size_t GetCapacity() const { return m_capacity; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }

private:
    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

template <class T> class LSizedArray : public _LRawArray<T> {
};
template <class T> class LArray : public _LRawArray<T> {
};
