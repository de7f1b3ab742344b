#pragma once
// A single-owner pointer: the object it holds is deleted with it. Ownership is handed on by
// moving, so the giver is left empty:
//
//     LPtr<VTLabelLayout> layout(new VTLabelLayout);
//     project.SetLabelLayout(layout);        // the project takes it; layout is now empty
//
// A taker that accepts an `LPtr<T>&` moves the object out with Release() or with
// `mine = std::move(theirs)`.

#include <utility>

template <class T> class LPtr {
public:
    LPtr() = default;
    explicit LPtr(T* p)
        : m_p(p)
    {
    }
    LPtr(const LPtr&) = delete;
    LPtr& operator=(const LPtr&) = delete;
    LPtr(LPtr&& o) noexcept
        : m_p(std::exchange(o.m_p, nullptr))
    {
    }
    // Deletes what this pointer held, then takes the other's object (self-assignment does
    // nothing).
    LPtr& operator=(LPtr&& o) noexcept
    {
        if (this != &o)
            Reset(std::exchange(o.m_p, nullptr));
        return *this;
    }
    ~LPtr() { delete m_p; }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool IsNull() const { return m_p == nullptr; }

    // Gives up ownership: the caller owns the object, this pointer is empty.
    T* Release() { return std::exchange(m_p, nullptr); }
    // Deletes the held object (unless it is p itself) and holds p.
    void Reset(T* p = nullptr)
    {
        T* old = std::exchange(m_p, p);
        if (old != p)
            delete old;
    }

private:
    T* m_p = nullptr;
};
