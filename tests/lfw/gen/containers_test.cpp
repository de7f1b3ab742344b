#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "lfw/gen/LArray.h"
#include "lfw/gen/LCountedPtr.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LMap.h"
#include "lfw/gen/LRBTree.h"
#include "lfw/gen/LVector.h"

namespace {

struct Item : LListable<Item> {
    Item(int k, int t = 0)
        : key(k)
        , tag(t)
    {
        ++alive;
    }
    ~Item() { --alive; }
    bool operator<(const Item& o) const { return key < o.key; }
    int key;
    int tag;
    static int alive;
};
int Item::alive = 0;

std::vector<int> Keys(const LList<Item>& list)
{
    std::vector<int> keys;
    for (const Item& e : list)
        keys.push_back(e.key);
    return keys;
}

struct Counted : LCountedObject {
    explicit Counted(int* d)
        : deleted(d)
    {
    }
    ~Counted() override { ++*deleted; }
    int* deleted;
};

struct Tracked {
    Tracked() { ++constructed; }
    ~Tracked() { ++destroyed; }
    Tracked& operator=(const Tracked&) = default;
    int value = 0;
    static int constructed, destroyed;
};
int Tracked::constructed = 0;
int Tracked::destroyed = 0;

} // namespace

TEST(List, OwnsAndDeletesItsElements)
{
    {
        LList<Item> list;
        list.AddTail(new Item(1));
        list.AddTail(new Item(2));
        list.AddHead(new Item(0));
        EXPECT_EQ(Keys(list), (std::vector<int> { 0, 1, 2 }));
        EXPECT_EQ(list.GetCount(), 3u);
        EXPECT_EQ(Item::alive, 3);
        Item* middle = list.GetAt(1);
        EXPECT_TRUE(list.Detach(middle));
        EXPECT_EQ(Keys(list), (std::vector<int> { 0, 2 }));
        delete middle;
        EXPECT_TRUE(list.Delete(list.GetHead()));
        EXPECT_EQ(Item::alive, 1);
    }
    EXPECT_EQ(Item::alive, 0);
}

TEST(List, SortRelinksByTheElementOrder)
{
    LList<Item> list;
    list.AddTail(new Item(5));
    EXPECT_FALSE(list.Sort());
    EXPECT_EQ(Keys(list), (std::vector<int> { 5 }));
    for (int k : { 3, 9, 1, 7, 3 })
        list.AddTail(new Item(k));
    EXPECT_TRUE(list.Sort());
    EXPECT_EQ(Keys(list), (std::vector<int> { 1, 3, 3, 5, 7, 9 }));
    EXPECT_EQ(list.GetLast()->GetNext(), nullptr);
    LList<Item> empty;
    EXPECT_FALSE(empty.Sort());

    // Long runs of equal elements keep every element.
    LList<Item> runs;
    std::vector<int> expected;
    for (int i = 0; i < 3000; ++i) {
        runs.AddTail(new Item(i % 3));
        expected.push_back(i % 3);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(runs.Sort());
    EXPECT_EQ(Keys(runs), expected);
}

TEST(List, AddOrderedGoesAfterEqualElements)
{
    LList<Item> list;
    list.AddOrdered(new Item(5, 1));
    list.AddOrdered(new Item(2, 1));
    list.AddOrdered(new Item(5, 2));
    list.AddOrdered(new Item(9, 1));
    list.AddOrdered(new Item(5, 3));
    std::vector<std::pair<int, int>> got;
    for (const Item& e : list)
        got.push_back({ e.key, e.tag });
    EXPECT_EQ(got,
        (std::vector<std::pair<int, int>> { { 2, 1 }, { 5, 1 }, { 5, 2 }, { 5, 3 }, { 9, 1 } }));
}

TEST(List, StringListablesSortByText)
{
    LList<LStringListable> list;
    for (const char* t : { "pear", "apple", "Zebra", "fig" })
        list.AddTail(new LStringListable(t));
    list.Sort();
    std::vector<std::string> got;
    for (const auto& e : list)
        got.push_back(e.GetText());
    EXPECT_EQ(got, (std::vector<std::string> { "Zebra", "apple", "fig", "pear" }));

    LList<LListablePtr<std::string>> owned;
    owned.AddTail(new LListablePtr<std::string>(new std::string("held")));
    EXPECT_EQ(*owned.GetHead()->Get(), "held");
}

TEST(Vector, SizeAndCapacity)
{
    LVector<int> v;
    v.SetSize(5);
    EXPECT_EQ(v.GetCapacity(), 5u);
    for (int i = 0; i < 5; ++i)
        v[size_t(i)] = i + 1;
    v.SetSize(6);
    EXPECT_EQ(v.GetCapacity(), 10u);
    v.SetSize(2);
    EXPECT_EQ(v.GetCapacity(), 10u);
    EXPECT_EQ(v.GetSize(), 2u);
    v.SetSize(5);
    v.SetArrayCapacity(3);
    EXPECT_EQ(v.GetSize(), 3u);
    EXPECT_EQ(v.GetCapacity(), 3u);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[2], 3);
    v.SetArrayCapacityNoCopy(4);
    EXPECT_EQ(v.GetSize(), 0u);
    v.SetSize(4);
    EXPECT_EQ(v[3], 0); // fresh plain elements are zeroed
    v.SetArrayCapacity(0);
    EXPECT_EQ(v.GetData(), nullptr);
    v.Add(7);
    v.Add(8);
    v.RemoveAt(0);
    EXPECT_EQ(v.GetSize(), 1u);
    EXPECT_EQ(v[0], 8);
}

TEST(Vector, LargeAllocationFailureEmptiesTheVector)
{
    LVector<unsigned char> bytes;
    EXPECT_TRUE(bytes.SetSizeLarge(100));
    EXPECT_EQ(bytes.GetSize(), 100u);
    EXPECT_FALSE(bytes.SetSizeLarge(size_t(1) << 62));
    EXPECT_EQ(bytes.GetData(), nullptr);
    EXPECT_EQ(bytes.GetSize(), 0u);
    EXPECT_EQ(bytes.GetCapacity(), 0u);
}

TEST(Vector, ClassElementsAreConstructedAndDestroyed)
{
    Tracked::constructed = Tracked::destroyed = 0;
    {
        LVector<Tracked> v;
        v.SetSize(3);
        v[1].value = 11;
        v.SetSize(7); // grows to 7, moving three across
        EXPECT_EQ(v[1].value, 11);
        LVector<Tracked> copy(v);
        EXPECT_EQ(copy[1].value, 11);
    }
    EXPECT_EQ(Tracked::constructed, Tracked::destroyed);
    LVectorRef<int> fixed(4);
    EXPECT_EQ(fixed.GetCount(), 4u);
    EXPECT_EQ(fixed[3], 0);
}

TEST(Array, LargeCapacityDropsContents)
{
    LSizedArray<unsigned char> a;
    ASSERT_TRUE(a.SetArrayCapacityLarge(16));
    a.SetSize(16);
    std::memset(a.GetData(), 7, 16);
    ASSERT_TRUE(a.SetArrayCapacityLarge(8));
    EXPECT_EQ(a.GetSize(), 8u); // never more than the capacity
    EXPECT_FALSE(a.SetArrayCapacityLarge(size_t(1) << 62));
    EXPECT_EQ(a.GetData(), nullptr);
    EXPECT_EQ(a.GetSize(), 0u);
    LArray<int> b;
    const int values[] = { 1, 2, 3 };
    ASSERT_TRUE(b.Assign(values, 3));
    EXPECT_EQ(b[2], 3);
    EXPECT_EQ(b.GetSize(), 3u);
}

TEST(Map, NewKeysGoFirstAndExistingKeysChangeTheirValue)
{
    LMap<LMapStringKeyTemplate<char>, unsigned int> map;
    map.SetValue("one", 1u);
    map.SetValue("two", 2u);
    EXPECT_STREQ(map.GetHead()->key.c_str(), "two");
    map.SetValue("one", 11u);
    EXPECT_STREQ(map.GetHead()->key.c_str(), "two");
    EXPECT_EQ(*map.GetValue("one"), 11u);
    EXPECT_EQ(map.GetCount(), 2u);
    EXPECT_EQ(map.GetValue("three"), nullptr);
    // Keys are cut to 259 bytes.
    std::string longKey(300, 'k');
    map.SetValue(longKey.c_str(), 3u);
    EXPECT_EQ(std::strlen(map.GetHead()->key.c_str()), 259u);
    EXPECT_EQ(*map.GetValue(longKey.substr(0, 259).c_str()), 3u);

    LMap<long, LStringLongTemplate<char>> strings;
    strings.SetValue(5L, "five");
    strings.SetValue(5L, "FIVE");
    EXPECT_STREQ(strings.GetValue(5L)->c_str(), "FIVE");
    EXPECT_TRUE(strings.Remove(5L));
    EXPECT_TRUE(strings.IsEmpty());
}

TEST(RBTree, KeepsDuplicatesAndStaysBalanced)
{
    LRBTree<LStringLongKey, LStringLongTemplate<char>> tree;
    tree.Add(LStringLongKey("k"), new LStringLongTemplate<char>("first"));
    tree.Add(LStringLongKey("k"), new LStringLongTemplate<char>("second"));
    EXPECT_EQ(tree.GetCount(), 2u);
    auto* found = tree.FindNode("k");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(*found->value == "first" || *found->value == "second");
    EXPECT_EQ(tree.FindNode("absent"), nullptr);

    // Sorted input: the height stays logarithmic and the root black.
    LRBTree<LStringLongKey, LStringLongTemplate<char>> big;
    char key[16];
    for (int i = 0; i < 4096; ++i) {
        std::snprintf(key, sizeof key, "%06d", i);
        big.Add(LStringLongKey(key), nullptr);
    }
    EXPECT_EQ(big.GetRoot()->colour, 0);
    auto height = [](auto* n, auto& self) -> int {
        return n ? 1 + std::max(self(n->left, self), self(n->right, self)) : 0;
    };
    EXPECT_LE(height(big.GetRoot(), height), 24); // at most 2 log2(n + 1)
    std::vector<std::string> order;
    big.ForEach(
        [&](const LStringLongKey& k, LStringLongTemplate<char>*) { order.push_back(k.c_str()); });
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_NE(big.FindNode("004095"), nullptr);
}

TEST(HashTable, StringDictionary)
{
    LHashTable table;
    table.SetString("name", "Vorantel");
    table.SetString("name", "renamed");
    EXPECT_EQ(table.GetCount(), 1u);
    EXPECT_STREQ(table.GetParm("name", "x"), "renamed");
    const char* def = "default";
    EXPECT_EQ(table.GetParm("missing", def), def);
    table.SetString("", nullptr);
    EXPECT_STREQ(table.GetParm("", "x"), "");
    EXPECT_STREQ(table.GetParm(nullptr, "x"), "");
}

TEST(CountedPtr, DeletesWithTheLastReference)
{
    int deleted = 0;
    LCountedPtr<Counted> empty;
    empty.reset();
    EXPECT_FALSE(empty);
    {
        LCountedPtr<Counted> a(new Counted(&deleted));
        LCountedPtr<Counted> b(a);
        EXPECT_EQ(a->GetRefCount(), 2u);
        a.reset();
        EXPECT_FALSE(a);
        EXPECT_EQ(deleted, 0);
        b = b; // self-assignment keeps the object
        EXPECT_EQ(b->GetRefCount(), 1u);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(Compare, QsortHelpers)
{
    int values[] = { 3, 1, 2, 2 };
    std::qsort(values, 4, sizeof(int), &LArrayAscendingCompare<int>);
    EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int> { 1, 2, 2, 3 }));
    std::qsort(values, 4, sizeof(int), &LArrayDescendingCompare<int>);
    EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int> { 3, 2, 2, 1 }));
    int x = 4, y = 4;
    EXPECT_EQ(LArrayAscendingCompare<int>(&x, &y), 0);
    Item a(1), b(1);
    Item* pa = &a;
    Item* pb = &b;
    EXPECT_EQ((LListArrayComparePtr<Item*, Item>(&pa, &pb)), -1); // never 0
}
