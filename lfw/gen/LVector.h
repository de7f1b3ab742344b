#pragma once
// A growable array that owns its elements (LVector) and an array of fixed length (LVectorRef).
// Elements are value-initialised, so plain records start zeroed.

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

template <class T> class LVector {
public:
    LVector() = default;
    LVector(const LVector& o) { *this = o; }
    LVector(LVector&& o) noexcept
        : m_data(std::exchange(o.m_data, nullptr))
        , m_count(std::exchange(o.m_count, 0))
        , m_capacity(std::exchange(o.m_capacity, 0))
    {
    }
    LVector& operator=(const LVector& o)
    {
        if (this == &o)
            return *this;
        T* d = o.m_count ? new T[o.m_count]() : nullptr;
        for (size_t i = 0; i < o.m_count; ++i)
            d[i] = o.m_data[i];
        delete[] m_data;
        m_data = d;
        m_count = m_capacity = o.m_count;
        return *this;
    }
    LVector& operator=(LVector&& o) noexcept
    {
        if (this != &o) {
            delete[] m_data;
            m_data = std::exchange(o.m_data, nullptr);
            m_count = std::exchange(o.m_count, 0);
            m_capacity = std::exchange(o.m_capacity, 0);
        }
        return *this;
    }
    ~LVector() { delete[] m_data; }

    // Sets the element count; the capacity grows to max(2 x capacity, n) when too small.
    void SetSize(size_t n)
    {
        if (n == m_count)
            return;
        if (m_capacity < n)
            SetArrayCapacity(GrownCapacity(n));
        m_count = n;
    }
    // Reallocates to exactly n elements, keeping the first min(count, n).
    void SetArrayCapacity(size_t n)
    {
        if (n == m_capacity)
            return;
        TakeArray(n ? new T[n]() : nullptr, n);
    }
    // Reallocates to n fresh elements without keeping any; count 0.
    void SetArrayCapacityNoCopy(size_t n)
    {
        if (n == m_capacity)
            return;
        T* d = n ? new T[n]() : nullptr;
        delete[] m_data;
        m_data = d;
        m_capacity = n;
        m_count = 0;
    }
    // As SetSize and SetArrayCapacity, but an allocation failure leaves the vector empty (data
    // null, capacity 0, count 0) instead of throwing. True on success.
    bool SetSizeLarge(size_t n)
    {
        if (n == m_count)
            return true;
        if (m_capacity < n && !SetArrayCapacityLarge(GrownCapacity(n)))
            return false;
        m_count = n;
        return true;
    }
    bool SetArrayCapacityLarge(size_t n)
    {
        if (n == m_capacity)
            return true;
        T* d = nullptr;
        if (n) {
            d = new (std::nothrow) T[n]();
            if (!d) {
                delete[] m_data;
                m_data = nullptr;
                m_capacity = m_count = 0;
                return false;
            }
        }
        TakeArray(d, n);
        return true;
    }

    // Appends one element (growing as SetSize does) and returns it.
    T& Add(const T& v)
    {
        SetSize(m_count + 1);
        return m_data[m_count - 1] = v;
    }
    T& Add(T&& v)
    {
        SetSize(m_count + 1);
        return m_data[m_count - 1] = std::move(v);
    }
    // Removes the element at i, moving the later ones down.
    void RemoveAt(size_t i)
    {
        if (i >= m_count)
            return;
        for (size_t j = i + 1; j < m_count; ++j)
            m_data[j - 1] = std::move(m_data[j]);
        m_data[m_count - 1] = T();
        --m_count;
    }
    // Count 0; the array stays.
    void Clear() { m_count = 0; }
    // Frees the array.
    void Free()
    {
        delete[] m_data;
        m_data = nullptr;
        m_count = m_capacity = 0;
    }

    size_t GetSize() const { return m_count; }
    size_t GetCount() const { return m_count; }
    size_t GetCapacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_count; }

private:
    // The capacity a vector too small for n elements grows to: max(2 x capacity, n).
    size_t GrownCapacity(size_t n) const { return n > 2 * m_capacity ? n : 2 * m_capacity; }
    // Moves the first min(count, n) elements into d, an array of n (null for 0), and takes d as
    // the vector's array.
    void TakeArray(T* d, size_t n)
    {
        size_t keep = m_count < n ? m_count : n;
        for (size_t i = 0; i < keep; ++i)
            d[i] = std::move(m_data[i]);
        delete[] m_data;
        m_data = d;
        m_capacity = n;
        m_count = keep;
    }

    T* m_data = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
};

// An array of a fixed number of default-constructed elements.
template <class T> class LVectorRef {
public:
    explicit LVectorRef(size_t n)
        : m_data(n ? new T[n]() : nullptr)
        , m_count(n)
    {
    }
    ~LVectorRef() { delete[] m_data; }
    LVectorRef(const LVectorRef&) = delete;
    LVectorRef& operator=(const LVectorRef&) = delete;

    size_t GetCount() const { return m_count; }
    size_t GetSize() const { return m_count; }
    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_count; }

private:
    T* m_data;
    size_t m_count;
};
