#pragma once
// A red-black tree keyed by owned strings (strcmp order, a null buffer counting as ""). Equal keys
// may repeat: an added key equal to a node's goes to its right. There is no single-node removal;
// the tree is freed whole.

#include <cstddef>
#include <utility>

#include "lfw/gen/LString.h"

template <class K, class V> struct LRBTreeNodeItem {
    K key;
    V* value = nullptr; // owned, may be null
    unsigned char colour = 1; // 1 red, 0 black
    LRBTreeNodeItem* left = nullptr;
    LRBTreeNodeItem* right = nullptr;
    LRBTreeNodeItem* parent = nullptr;
};

template <class K, class V> class LRBTree {
public:
    using Node = LRBTreeNodeItem<K, V>;

    LRBTree() = default;
    LRBTree(const LRBTree&) = delete;
    LRBTree& operator=(const LRBTree&) = delete;
    LRBTree(LRBTree&& o) noexcept
        : m_root(std::exchange(o.m_root, nullptr))
        , m_count(std::exchange(o.m_count, 0))
    {
    }
    LRBTree& operator=(LRBTree&& o) noexcept
    {
        if (this != &o) {
            Clear();
            m_root = std::exchange(o.m_root, nullptr);
            m_count = std::exchange(o.m_count, 0);
        }
        return *this;
    }
    ~LRBTree() { Clear(); }

    // Adds a node holding a copy of key and the value (the tree owns it). Returns the node.
    Node* Add(const K& key, V* value)
    {
        Node* n = new Node;
        n->key = key;
        n->value = value;
        Node* parent = nullptr;
        Node* cur = m_root;
        bool right = false;
        while (cur) {
            parent = cur;
            right = cur->key.Compare(n->key) <= 0;
            cur = right ? cur->right : cur->left;
        }
        n->parent = parent;
        if (!parent)
            m_root = n;
        else if (right)
            parent->right = n;
        else
            parent->left = n;
        ++m_count;
        Rebalance(n);
        return n;
    }

    template <class KK> Node* FindNode(const KK& key)
    {
        Node* cur = m_root;
        while (cur) {
            int c = cur->key.Compare(key);
            if (c == 0)
                return cur;
            cur = c < 0 ? cur->right : cur->left;
        }
        return nullptr;
    }
    template <class KK> const Node* FindNode(const KK& key) const
    {
        return const_cast<LRBTree*>(this)->FindNode(key);
    }

    void Clear()
    {
        DeleteNodeTree(m_root);
        m_root = nullptr;
        m_count = 0;
    }
    Node* GetRoot() const { return m_root; }
    size_t GetCount() const { return m_count; }

    // In-order walk (ascending keys): f(const K&, V*).
    template <class F> void ForEach(F&& f) const { Walk(m_root, f); }

private:
    template <class F> static void Walk(Node* n, F& f)
    {
        while (n) {
            Walk(n->left, f);
            f(n->key, n->value);
            n = n->right;
        }
    }
    static void DeleteNodeTree(Node* n)
    {
        // Iterative post-order so that a degenerate input cannot exhaust the stack.
        while (n) {
            if (n->left) {
                n = n->left;
            } else if (n->right) {
                n = n->right;
            } else {
                Node* p = n->parent;
                if (p) {
                    if (p->left == n)
                        p->left = nullptr;
                    else
                        p->right = nullptr;
                }
                delete n->value;
                delete n;
                n = p;
            }
        }
    }
    // The two sides of a node, so that one routine serves a case and its mirror image.
    using Side = Node* Node::*;
    static Side Opposite(Side side) { return side == &Node::left ? &Node::right : &Node::left; }

    // Turns x down towards `down` (&Node::left for a left rotation): its child on the other side
    // takes its place and x becomes that child's `down` child.
    void Rotate(Node* x, Side down)
    {
        const Side up = Opposite(down);
        Node* y = x->*up;
        x->*up = y->*down;
        if (y->*down)
            (y->*down)->parent = x;
        y->parent = x->parent;
        if (!x->parent)
            m_root = y;
        else if (x == x->parent->*down)
            x->parent->*down = y;
        else
            x->parent->*up = y;
        y->*down = x;
        x->parent = y;
    }
    void Rebalance(Node* n)
    {
        while (n != m_root && n->parent->colour == 1) {
            Node* p = n->parent;
            Node* g = p->parent;
            // The side of the grandparent the parent hangs on; the uncle is on the other one.
            const Side side = p == g->left ? &Node::left : &Node::right;
            const Side other = Opposite(side);
            Node* u = g->*other;
            if (u && u->colour == 1) {
                p->colour = 0;
                u->colour = 0;
                g->colour = 1;
                n = g;
            } else {
                if (n == p->*other) {
                    n = p;
                    Rotate(n, side);
                    p = n->parent;
                }
                p->colour = 0;
                g->colour = 1;
                Rotate(g, other);
            }
        }
        m_root->colour = 0;
        m_root->parent = nullptr;
    }

    Node* m_root = nullptr;
    size_t m_count = 0;
};

// A string-to-string dictionary (XML attributes, shared settings).
class LHashTable {
public:
    // Reassigns the value of an existing key, or adds a new one.
    void SetString(const char* key, const char* value)
    {
        auto* n = m_tree.FindNode(key ? key : "");
        if (n && n->value) {
            *n->value = value;
            return;
        }
        auto* v = new LStringLongTemplate<char>(value);
        if (n)
            n->value = v;
        else
            m_tree.Add(LStringLongKey(key), v);
    }
    // The stored text (a null buffer reads as ""), or def itself when the key is absent.
    const char* GetParm(const char* key, const char* def) const
    {
        const auto* n = m_tree.FindNode(key ? key : "");
        if (!n)
            return def;
        return n->value ? n->value->c_str() : "";
    }
    bool HasKey(const char* key) const { return m_tree.FindNode(key ? key : "") != nullptr; }
    void Clear() { m_tree.Clear(); }
    size_t GetCount() const { return m_tree.GetCount(); }
    LRBTree<LStringLongKey, LStringLongTemplate<char>>& GetTree() { return m_tree; }
    const LRBTree<LStringLongKey, LStringLongTemplate<char>>& GetTree() const { return m_tree; }

private:
    LRBTree<LStringLongKey, LStringLongTemplate<char>> m_tree;
};
