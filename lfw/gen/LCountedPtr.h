#pragma once
// An intrusive reference-counted pointer. The object carries its own count: derive from
// LCountedObject (or give the type AddRef() and Release() returning the new count). The count of
// an LCountedObject is atomic: pointers to one object may be copied and dropped on several
// threads at once (each pointer itself belongs to one thread).

#include <atomic>
#include <cstdint>
#include <utility>

class LCountedObject {
public:
    LCountedObject() = default;
    LCountedObject(const LCountedObject&) { }
    LCountedObject& operator=(const LCountedObject&) { return *this; }
    virtual ~LCountedObject() = default;

    void AddRef() { m_count.fetch_add(1, std::memory_order_relaxed); }
    // The last release sees every write made through the other pointers before theirs.
    uint32_t Release() { return m_count.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    uint32_t GetRefCount() const { return m_count.load(std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> m_count { 0 };
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
