#pragma once
// An intrusive reference-counted pointer. The object carries its own count: derive from
// LCountedObject (or give the type AddRef() and Release() returning the new count).

#include <cstdint>
#include <utility>

class LCountedObject {
public:
    LCountedObject() = default;
    LCountedObject(const LCountedObject&) { }
    LCountedObject& operator=(const LCountedObject&) { return *this; }
    virtual ~LCountedObject() = default;

    void AddRef() { ++m_count; }
    uint32_t Release() { return --m_count; }
    uint32_t GetRefCount() const { return m_count; }

private:
    uint32_t m_count = 0;
};

template <class T> class LCountedPtr {
public:
    LCountedPtr() = default;
    explicit LCountedPtr(T* p)
        : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    LCountedPtr(const LCountedPtr& o)
        : LCountedPtr(o.m_p)
    {
    }
    LCountedPtr(LCountedPtr&& o) noexcept
        : m_p(std::exchange(o.m_p, nullptr))
    {
    }
    LCountedPtr& operator=(const LCountedPtr& o)
    {
        reset(o.m_p);
        return *this;
    }
    LCountedPtr& operator=(LCountedPtr&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_p = std::exchange(o.m_p, nullptr);
        }
        return *this;
    }
    ~LCountedPtr() { reset(); }

    // Drops this reference: the object is deleted when the count goes from 1 to 0. Null after.
    void reset()
    {
        if (m_p) {
            T* p = std::exchange(m_p, nullptr);
            if (p->Release() == 0)
                delete p;
        }
    }
    void reset(T* p)
    {
        if (p == m_p)
            return;
        if (p)
            p->AddRef();
        reset();
        m_p = p;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};
