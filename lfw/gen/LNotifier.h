// The observer mechanism.
//
// A class with something to tell keeps an LNotifier<T> over its notifyee interface T (named after
// the class with the suffix Notifyee, made of virtual Ev operations with empty defaults). A
// notification is a direct call, on the notifying thread, to each registered notifyee in the
// order of registration. The notifier owns its list nodes, never the notifyees.
//
// Changing the list during a notification is safe: a notifyee added during a notification is
// reached by the same pass; a removed notifyee (the one being called included) is not called
// again, and its node is freed only when the outermost notification has finished.
#pragma once

#include <utility>

template <class T> class LNotifier {
public:
    LNotifier() = default;
    LNotifier(const LNotifier&) = delete;
    LNotifier& operator=(const LNotifier&) = delete;
    ~LNotifier() { FreeAll(); }

    // Links the notifyee at the end of the list; the same notifyee may be added more than once
    // and is then called once per registration.
    void AddNotifyee(T& notifyee)
    {
        Node* node = new Node { nullptr, &notifyee };
        if (m_last)
            m_last->next = node;
        else
            m_first = node;
        m_last = node;
    }

    // Unregisters the first registration of the notifyee; nothing happens when it is not
    // registered.
    void RemoveNotifyee(T& notifyee)
    {
        Node* previous = nullptr;
        for (Node* node = m_first; node; previous = node, node = node->next) {
            if (node->notifyee != &notifyee)
                continue;
            if (m_walking > 0) {
                // A notification is running over this list: leave the node in place (the walk may
                // stand on it) and free it once the walk is over.
                node->notifyee = nullptr;
                m_hasRemoved = true;
            } else {
                Unlink(previous, node);
            }
            return;
        }
    }

    bool IsEmpty() const
    {
        for (Node* node = m_first; node; node = node->next)
            if (node->notifyee)
                return false;
        return true;
    }

    // Calls function(T&) for each registered notifyee in order.
    template <class Function> void ForEach(Function&& function)
    {
        WalkGuard guard(*this);
        for (Node* node = m_first; node; node = node->next) {
            if (T* notifyee = node->notifyee)
                function(*notifyee);
        }
    }

    // Calls the event operation on each registered notifyee: Notify(&T::EvChanged, this).
    template <class... Parameters, class... Arguments>
    void Notify(void (T::*event)(Parameters...), Arguments&&... arguments)
    {
        ForEach([&](T& notifyee) { (notifyee.*event)(arguments...); });
    }

private:
    struct Node {
        Node* next;
        T* notifyee; // null once removed during a notification
    };

    struct WalkGuard {
        explicit WalkGuard(LNotifier& notifier)
            : m_notifier(notifier)
        {
            ++m_notifier.m_walking;
        }
        ~WalkGuard()
        {
            if (--m_notifier.m_walking == 0 && m_notifier.m_hasRemoved)
                m_notifier.Purge();
        }
        LNotifier& m_notifier;
    };

    void Unlink(Node* previous, Node* node)
    {
        if (previous)
            previous->next = node->next;
        else
            m_first = node->next;
        if (m_last == node)
            m_last = previous;
        delete node;
    }

    void Purge()
    {
        m_hasRemoved = false;
        Node* previous = nullptr;
        Node* node = m_first;
        while (node) {
            Node* next = node->next;
            if (node->notifyee)
                previous = node;
            else
                Unlink(previous, node);
            node = next;
        }
    }

    void FreeAll()
    {
        while (m_first) {
            Node* next = m_first->next;
            delete m_first;
            m_first = next;
        }
        m_last = nullptr;
    }

    Node* m_first = nullptr;
    Node* m_last = nullptr;
    int m_walking = 0;
    bool m_hasRemoved = false;
};
