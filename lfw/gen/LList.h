#pragma once
// An intrusive, owning, singly linked list. An element type becomes listable by deriving from
// LListable<T> (the link is a member of the element, not a separate node); the list deletes its
// elements. Sorting and ordered insertion use LListOrder<T>, which by default asks `b < a`.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

template <class T> class LList;

template <class T> class LListable {
public:
    T* GetNext() const { return m_next; }

private:
    friend class LList<T>;
    T* m_next = nullptr;
};

// The element order of a list: SortsAfter(a, b) is true when a belongs after b. Specialise it or
// give the element type an operator<.
template <class T> struct LListOrder {
    static bool SortsAfter(const T& a, const T& b) { return b < a; }
};

// qsort comparison of two element pointers by the element order; never 0 (the sort is unstable).
template <class P, class T> int LListArrayComparePtr(const void* a, const void* b)
{
    const T* x = *static_cast<const P*>(a);
    const T* y = *static_cast<const P*>(b);
    return LListOrder<T>::SortsAfter(*x, *y) ? 1 : -1;
}

// The comparison Sort hands to qsort: as LListArrayComparePtr, but 0 for two elements neither of
// which sorts after the other. qsort needs a consistent comparison; one that calls a pair both
// smaller and greater lets the C library's sort run past its array.
template <class T> int _LListSortCompare(const void* a, const void* b)
{
    const T* x = *static_cast<T* const*>(a);
    const T* y = *static_cast<T* const*>(b);
    if (LListOrder<T>::SortsAfter(*x, *y))
        return 1;
    return LListOrder<T>::SortsAfter(*y, *x) ? -1 : 0;
}

// qsort comparisons for plain values.
template <class T> int LArrayAscendingCompare(const void* a, const void* b)
{
    const T& x = *static_cast<const T*>(a);
    const T& y = *static_cast<const T*>(b);
    return x < y ? -1 : (y < x ? 1 : 0);
}
template <class T> int LArrayDescendingCompare(const void* a, const void* b)
{
    return LArrayAscendingCompare<T>(b, a);
}

template <class T> class LList {
public:
    LList() = default;
    LList(const LList&) = delete;
    LList& operator=(const LList&) = delete;
    LList(LList&& o) noexcept
        : m_head(o.m_head)
    {
        o.m_head = nullptr;
    }
    LList& operator=(LList&& o) noexcept
    {
        if (this != &o) {
            Clear();
            m_head = o.m_head;
            o.m_head = nullptr;
        }
        return *this;
    }
    ~LList() { Clear(); }

    // Unlinks and deletes the elements one by one; the list is consistent at every step.
    void Clear()
    {
        while (T* e = m_head) {
            m_head = Link(e);
            Link(e) = nullptr;
            delete e;
        }
    }

    T* GetHead() const { return m_head; }
    T* GetFirst() const { return m_head; }
    static T* GetNext(const T* e) { return e->LListable<T>::m_next; }
    bool IsEmpty() const { return m_head == nullptr; }
    size_t GetCount() const
    {
        size_t n = 0;
        for (T* e = m_head; e; e = Link(e))
            ++n;
        return n;
    }
    T* GetLast() const
    {
        T* e = m_head;
        if (e)
            while (Link(e))
                e = Link(e);
        return e;
    }
    // The element at index i, or null.
    T* GetAt(size_t i) const
    {
        T* e = m_head;
        while (e && i--)
            e = Link(e);
        return e;
    }

    // The list takes ownership of e.
    void AddHead(T* e)
    {
        Link(e) = m_head;
        m_head = e;
    }
    void AddTail(T* e)
    {
        Link(e) = nullptr;
        if (!m_head) {
            m_head = e;
            return;
        }
        GetLast()->LListable<T>::m_next = e;
    }
    // Inserts e after `after` (at the head when after is null).
    void AddAfter(T* after, T* e)
    {
        if (!after)
            return AddHead(e);
        Link(e) = Link(after);
        Link(after) = e;
    }
    // Inserts at e's sorted place: after every element that does not sort after it.
    void AddOrdered(T* e)
    {
        T* prev = nullptr;
        for (T* cur = m_head; cur && !LListOrder<T>::SortsAfter(*cur, *e); cur = Link(cur))
            prev = cur;
        AddAfter(prev, e);
    }
    // Unlinks e without deleting it; the caller owns it afterwards. False when e is not here.
    bool Detach(T* e)
    {
        T** p = &m_head;
        while (*p && *p != e)
            p = &Link(*p);
        if (!*p)
            return false;
        *p = Link(e);
        Link(e) = nullptr;
        return true;
    }
    // Unlinks and deletes e.
    bool Delete(T* e)
    {
        if (!Detach(e))
            return false;
        delete e;
        return true;
    }
    // Unlinks and returns the first element (the caller owns it), or null.
    T* DetachHead()
    {
        T* e = m_head;
        if (e) {
            m_head = Link(e);
            Link(e) = nullptr;
        }
        return e;
    }

    // Sorts by the element order (not stable). False for fewer than 2 elements.
    bool Sort()
    {
        size_t n = GetCount();
        if (n < 2)
            return false;
        std::unique_ptr<T*[]> array(new T*[n]);
        size_t i = 0;
        for (T* e = m_head; e; e = Link(e))
            array[i++] = e;
        std::qsort(array.get(), n, sizeof(T*), &_LListSortCompare<T>);
        for (i = 0; i + 1 < n; ++i)
            Link(array[i]) = array[i + 1];
        Link(array[n - 1]) = nullptr;
        m_head = array[0];
        return true;
    }

    class Iterator {
    public:
        explicit Iterator(T* e)
            : m_e(e)
        {
        }
        T& operator*() const { return *m_e; }
        T* operator->() const { return m_e; }
        Iterator& operator++()
        {
            m_e = Link(m_e);
            return *this;
        }
        bool operator!=(const Iterator& o) const { return m_e != o.m_e; }
        bool operator==(const Iterator& o) const { return m_e == o.m_e; }

    private:
        T* m_e;
    };
    Iterator begin() const { return Iterator(m_head); }
    Iterator end() const { return Iterator(nullptr); }

private:
    static T*& Link(T* e) { return e->LListable<T>::m_next; }
    T* m_head = nullptr;
};

// A listable node holding an owned T, for types that cannot carry the link themselves.
template <class T> class LListablePtr : public LListable<LListablePtr<T>> {
public:
    explicit LListablePtr(T* p = nullptr)
        : m_ptr(p)
    {
    }
    ~LListablePtr() { delete m_ptr; }
    LListablePtr(const LListablePtr&) = delete;
    LListablePtr& operator=(const LListablePtr&) = delete;

    T* Get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    // Gives up ownership.
    T* Release()
    {
        T* p = m_ptr;
        m_ptr = nullptr;
        return p;
    }

private:
    T* m_ptr;
};

// A listable owned text, sorted by strcmp.
class LStringListable : public LListable<LStringListable> {
public:
    explicit LStringListable(const char* text = nullptr)
    {
        size_t n = text ? std::strlen(text) : 0;
        m_text = new char[n + 1];
        if (n)
            std::memcpy(m_text, text, n);
        m_text[n] = 0;
    }
    ~LStringListable() { delete[] m_text; }
    LStringListable(const LStringListable&) = delete;
    LStringListable& operator=(const LStringListable&) = delete;

    const char* GetText() const { return m_text; }
    bool operator<(const LStringListable& o) const { return std::strcmp(m_text, o.m_text) < 0; }

private:
    char* m_text;
};
