// An owning, ordered list of placed items whose order is the stacking order (first = bottom,
// last = top), and the non-owning list of item references that item viewers use as their
// selection. Items carry their own public `next` link, which only their collection uses.
#pragma once

#include "lfw/graphics/LMatrix.h"

#include <cstddef>

template <class T> class VTItemCollection {
public:
    VTItemCollection() = default;
    VTItemCollection(const VTItemCollection&) = delete;
    VTItemCollection& operator=(const VTItemCollection&) = delete;
    // Destroys the items, sending nothing.
    virtual ~VTItemCollection() { DeleteAllItems(); }

    // The rotation of the whole surface in degrees.
    virtual float GetRotationAngle() const { return 0.0f; }
    virtual void NotifyItemAdded(T&) { }
    // Sent while the item is still in the list.
    virtual void NotifyItemDeleting(T&) { }
    virtual void NotifyItemsChanged() { }

    // Appends the item at the top (the collection owns it from now on). An item already in the
    // list stays where it is and nothing is sent: appending it again would cut the list behind
    // it and loop it onto itself. Constant time: the list keeps its last item, and an item
    // without a successor that is not the last one is in no list.
    void AddItem(T* item, bool notify)
    {
        if (!item)
            return;
        T* last = Last();
        if (item == last || (item->next && Contains(item)))
            return;
        item->next = nullptr;
        (last ? last->next : first) = item;
        mLast = item;
        mLastOf = first;
        ++mLinkChanges;
        if (notify) {
            NotifyItemAdded(*item);
            NotifyItemsChanged();
        }
    }

    // False, sending nothing, when the item is not in the list. An item an observer takes out of
    // the list while it is told of the deletion is not destroyed here.
    bool DeleteItem(T* item)
    {
        if (!Contains(item))
            return false;
        NotifyItemDeleting(*item);
        // The observer may have relinked the list itself.
        ForgetLastItem();
        if (Unlink(item))
            delete item;
        NotifyItemsChanged();
        return true;
    }

    // The new item takes the old one's place; the old one is destroyed. False when the new item
    // is already in the list (it cannot stand in two places).
    bool ReplaceItem(T* oldItem, T* newItem, bool notify)
    {
        if (!newItem || oldItem == newItem || !Contains(oldItem) || Contains(newItem))
            return false;
        if (notify)
            NotifyItemDeleting(*oldItem);
        // An observer may have changed the list: put the new item where the old one stands now,
        // or at the end when it is gone.
        T** link = FindLink(oldItem);
        if (link) {
            newItem->next = oldItem->next;
            *link = newItem;
            oldItem->next = nullptr;
            delete oldItem;
        } else {
            newItem->next = nullptr;
            T* last = Last();
            (last ? last->next : first) = newItem;
        }
        mLast = nullptr; // found again on the next append
        ++mLinkChanges;
        if (notify) {
            NotifyItemsChanged();
            NotifyItemAdded(*newItem);
            NotifyItemsChanged();
        }
        return true;
    }

    // One step up; false when the item is not in the list or already on top.
    bool RaiseItem(T& item) { return SwapItemWithNext(&item); }

    // One step down; false when the item is not in the list or already at the bottom.
    bool LowerItem(T& item)
    {
        T* previous = nullptr;
        for (T* p = first; p; previous = p, p = p->next) {
            if (p == &item)
                return previous ? SwapItemWithNext(previous) : false;
        }
        return false;
    }

    // The item and its successor change places; false when there is none.
    bool SwapItemWithNext(T* item)
    {
        T** link = FindLink(item);
        if (!link || !item->next)
            return false;
        T* successor = item->next;
        item->next = successor->next;
        successor->next = item;
        *link = successor;
        if (mLast == successor)
            mLast = item;
        ++mLinkChanges;
        NotifyItemsChanged();
        return true;
    }

    // Mirror the item left-right (first column of its transform negated) or top-bottom (second
    // column); size, centre and rotation stay.
    bool FlipItemHorizontal(T& item) { return Flip(item, 0); }
    bool FlipItemVertical(T& item) { return Flip(item, 1); }

    bool Contains(const T* item) const
    {
        if (!item)
            return false;
        for (const T* p = first; p; p = p->next)
            if (p == item)
                return true;
        return false;
    }
    size_t GetCount() const
    {
        size_t n = 0;
        for (const T* p = first; p; p = p->next)
            ++n;
        return n;
    }
    // The item at a list position (0 = bottom); null past the end.
    T* GetItemAt(size_t index) const
    {
        T* p = first;
        while (p && index--)
            p = p->next;
        return p;
    }
    // The list position of the item; -1 when it is not in the list.
    long IndexOf(const T* item) const
    {
        long i = 0;
        for (const T* p = first; p; p = p->next, ++i)
            if (p == item)
                return i;
        return -1;
    }
    // Destroys every item, sending nothing.
    void DeleteAllItems()
    {
        while (T* item = first) {
            first = item->next;
            item->next = nullptr;
            delete item;
        }
        mLast = nullptr;
        ++mLinkChanges;
    }

    // Code that relinks the list itself (through first and the items' links) calls this after:
    // the last item is then found again when it is next needed.
    void ForgetLastItem()
    {
        mLast = nullptr;
        ++mLinkChanges;
    }
    // Code that puts an item at the head itself calls this after (the last item stays known).
    void NoteRelinked() { ++mLinkChanges; }
    // Counts the changes of the list's links (items added, taken out, moved): while it stays the
    // same, a pointer to an item of the list stays valid, and so does its place.
    unsigned long long GetLinkChanges() const { return mLinkChanges; }
    // Whether the list holds at least count items (a walk over at most count of them).
    bool HasAtLeast(size_t count) const
    {
        const T* p = first;
        while (p && count) {
            p = p->next;
            --count;
        }
        return count == 0;
    }

    T* first = nullptr;

private:
    // The last item, found from the one kept (or from the start when none is kept): items
    // appended behind it through their links are walked over once.
    T* Last()
    {
        // A list whose start was changed behind its back is walked again from its start.
        if (first != mLastOf)
            mLast = nullptr;
        mLastOf = first;
        T* last = mLast ? mLast : first;
        if (!last)
            return nullptr;
        while (last->next)
            last = last->next;
        mLast = last;
        return last;
    }
    // The link that points at the item (first or a predecessor's next); null when not listed.
    T** FindLink(const T* item)
    {
        if (!item)
            return nullptr;
        for (T** link = &first; *link; link = &(*link)->next)
            if (*link == item)
                return link;
        return nullptr;
    }
    bool Unlink(T* item)
    {
        T** link = FindLink(item);
        if (!link)
            return false;
        *link = item->next;
        item->next = nullptr;
        if (mLast == item)
            mLast = nullptr;
        ++mLinkChanges;
        return true;
    }
    bool Flip(T& item, int column)
    {
        if (!Contains(&item))
            return false;
        for (int r = 0; r < 4; ++r)
            item.transform.m[r][column] = -item.transform.m[r][column];
        item.NotifyTransformChanged();
        return true;
    }

    T* mLast = nullptr; // the last item, or null when not known
    T* mLastOf = nullptr; // the first item when mLast was found
    unsigned long long mLinkChanges = 0;
};

// A list of references to items; it owns its nodes, never the items.
template <class T> class VTRefList {
public:
    struct Node {
        T* item;
        Node* next;
    };

    VTRefList() = default;
    VTRefList(const VTRefList&) = delete;
    VTRefList& operator=(const VTRefList&) = delete;
    ~VTRefList() { Clear(); }

    // Appends a reference (the same item may be referred to more than once).
    void Add(T& item)
    {
        Node* node = new Node { &item, nullptr };
        Node** end = &first;
        while (*end)
            end = &(*end)->next;
        *end = node;
    }
    // Puts a reference at the head.
    void AddFirst(T& item) { first = new Node { &item, first }; }
    // Removes the first reference to the item; false when there is none.
    bool Delete(const T& item)
    {
        for (Node** link = &first; *link; link = &(*link)->next) {
            if ((*link)->item == &item) {
                Node* node = *link;
                *link = node->next;
                delete node;
                return true;
            }
        }
        return false;
    }
    bool Contains(const T& item) const
    {
        for (const Node* n = first; n; n = n->next)
            if (n->item == &item)
                return true;
        return false;
    }
    size_t GetCount() const
    {
        size_t n = 0;
        for (const Node* p = first; p; p = p->next)
            ++n;
        return n;
    }
    bool IsEmpty() const { return first == nullptr; }
    void Clear()
    {
        while (Node* n = first) {
            first = n->next;
            delete n;
        }
    }

    Node* first = nullptr;
};
