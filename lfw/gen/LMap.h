#pragma once
// A small linked map for short lists: newest entry first, linear lookup. Keys compare with ==;
// LMapStringKeyTemplate<char> keys are 260-byte texts (at most 259 bytes kept, cut at a character
// boundary) compared with strcmp.

#include <cstddef>
#include <cstring>
#include <utility>

#include "lfw/gen/LString.h"

template <class T> class LMapStringKeyTemplate;

template <> class LMapStringKeyTemplate<char> {
public:
    LMapStringKeyTemplate(const char* text = nullptr)
    {
        utf8strlcpy(m_text, text ? text : "", sizeof m_text);
    }
    const char* c_str() const { return m_text; }
    bool operator==(const LMapStringKeyTemplate& o) const
    {
        return std::strcmp(m_text, o.m_text) == 0;
    }

private:
    char m_text[kLStringShortSize];
};

template <class K, class V> class LMap {
public:
    struct Node {
        Node* next;
        K key;
        V value;
    };

    LMap() = default;
    LMap(const LMap&) = delete;
    LMap& operator=(const LMap&) = delete;
    ~LMap() { Clear(); }

    // Updates the entry with that key, or puts a new entry first.
    template <class KK, class VV> void SetValue(const KK& key, VV&& value)
    {
        K k(key);
        for (Node* n = m_head; n; n = n->next) {
            if (n->key == k) {
                n->value = std::forward<VV>(value);
                return;
            }
        }
        m_head = new Node { m_head, std::move(k), V(std::forward<VV>(value)) };
    }
    // The value stored under key, or null.
    template <class KK> V* GetValue(const KK& key)
    {
        K k(key);
        for (Node* n = m_head; n; n = n->next)
            if (n->key == k)
                return &n->value;
        return nullptr;
    }
    template <class KK> const V* GetValue(const KK& key) const
    {
        return const_cast<LMap*>(this)->GetValue(key);
    }
    // Removes the entry with that key; false when absent.
    template <class KK> bool Remove(const KK& key)
    {
        K k(key);
        for (Node** p = &m_head; *p; p = &(*p)->next) {
            if ((*p)->key == k) {
                Node* n = *p;
                *p = n->next;
                delete n;
                return true;
            }
        }
        return false;
    }
    void Clear()
    {
        while (Node* n = m_head) {
            m_head = n->next;
            delete n;
        }
    }
    Node* GetHead() const { return m_head; }
    bool IsEmpty() const { return m_head == nullptr; }
    size_t GetCount() const
    {
        size_t c = 0;
        for (Node* n = m_head; n; n = n->next)
            ++c;
        return c;
    }

private:
    Node* m_head = nullptr;
};
