#include "app/VTItemCollection.h"
#include "app/VTItemHitTestable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A placed item of a given size that records what its collection tells.
class Item final : public VTItemHitTestable {
public:
    explicit Item(std::vector<std::string>* log = nullptr, int id = 0, float w = 10, float h = 10)
        : mLog(log)
        , mId(id)
        , mWidth(w)
        , mHeight(h)
    {
    }
    ~Item()
    {
        if (mLog)
            mLog->push_back("destroyed " + std::to_string(mId));
    }
    int GetItemType() const override { return 2; }
    void GetDimensions(float& w, float& h) const override
    {
        w = mWidth;
        h = mHeight;
    }
    void SetDimensions(float w, float h) override
    {
        mWidth = w;
        mHeight = h;
    }
    void NotifyTransformChanged() override { ++transformChanges; }

    Item* next = nullptr;
    int transformChanges = 0;
    int Id() const { return mId; }

private:
    std::vector<std::string>* mLog;
    int mId;
    float mWidth, mHeight;
};

class Collection : public VTItemCollection<Item> {
public:
    void NotifyItemAdded(Item& item) override
    {
        log.push_back("added " + std::to_string(item.Id()));
    }
    void NotifyItemDeleting(Item& item) override
    {
        log.push_back("deleting " + std::to_string(item.Id()) + (Contains(&item) ? " listed" : ""));
        if (takeOutOnDelete)
            TakeOut(item);
    }
    void NotifyItemsChanged() override { log.push_back("changed"); }

    // Unlinks without destroying (as an observer that keeps the item might).
    void TakeOut(Item& item)
    {
        for (Item** link = &first; *link; link = &(*link)->next)
            if (*link == &item) {
                *link = item.next;
                item.next = nullptr;
                return;
            }
    }
    std::vector<int> Order() const
    {
        std::vector<int> ids;
        for (Item* p = first; p; p = p->next)
            ids.push_back(p->Id());
        return ids;
    }

    std::vector<std::string> log;
    bool takeOutOnDelete = false;
};

using Log = std::vector<std::string>;

} // namespace

TEST(ItemPlacement, RotationStaysInOneTurnAndTurnsTheTransform)
{
    Item item;
    item.rotation = 10;
    item.Rotate(-30);
    EXPECT_FLOAT_EQ(item.rotation, 340);
    EXPECT_EQ(item.transformChanges, 1);

    Item turned;
    turned.Rotate(725);
    EXPECT_FLOAT_EQ(turned.rotation, 5);
    // The transform is turned by the whole 725 degrees (single-precision radians).
    float s = 0, c = 1;
    VTSinCosDegrees(725, s, c);
    EXPECT_EQ(turned.transform.m[0][0], c);
    EXPECT_EQ(turned.transform.m[0][1], s);
    EXPECT_EQ(turned.transform.m[1][0], -s);
    EXPECT_EQ(turned.transform.m[1][1], c);
    EXPECT_EQ(turned.transform.m[3][0], 0);

    Item huge;
    huge.Rotate(3.6e9f); // whole turns only: stays finite and in range
    EXPECT_GE(huge.rotation, 0);
    EXPECT_LT(huge.rotation, 360);
    huge.Rotate(0);
    EXPECT_LT(huge.rotation, 360);
}

TEST(ItemPlacement, HitTestByPart)
{
    Item item; // 10 x 10 at (0, 0)
    EXPECT_TRUE(item.HitTest(0, 0));
    EXPECT_EQ(item.hitFlags, VTHitInside);
    EXPECT_TRUE(item.HitTest(-5, -5));
    EXPECT_EQ(item.hitFlags, VTHitTop | VTHitLeft);
    EXPECT_TRUE(item.HitTest(5.5f, 0));
    EXPECT_EQ(item.hitFlags, VTHitRight);
    EXPECT_TRUE(item.HitTest(5, 5));
    EXPECT_EQ(item.hitFlags, VTHitBottom | VTHitRight);
    EXPECT_FALSE(item.HitTest(6.5f, 0));
    EXPECT_EQ(item.hitFlags, 0);
    // Exactly 1 mm inside an edge: the edge and the inside.
    EXPECT_TRUE(item.HitTest(4, 0));
    EXPECT_EQ(item.hitFlags, VTHitRight | VTHitInside);
    EXPECT_TRUE(item.HitTest(0, -4));
    EXPECT_EQ(item.hitFlags, VTHitTop | VTHitInside);

    // Turned by 90 degrees the test runs in the item's frame.
    item.rotation = 90;
    EXPECT_TRUE(item.HitTest(0, -5));
    EXPECT_EQ(item.hitFlags, VTHitLeft);
    EXPECT_TRUE(item.HitTest(5, 0));
    EXPECT_EQ(item.hitFlags, VTHitTop);

    // Away from the origin and turned by 30 degrees.
    Item moved(nullptr, 0, 20, 4);
    moved.centreX = 30;
    moved.centreY = -10;
    moved.rotation = 30;
    float s = 0, c = 1;
    VTSinCosDegrees(30, s, c);
    // The item's right edge midpoint, (10, 0) in its frame.
    EXPECT_TRUE(moved.HitTest(30 + 10 * c, -10 + 10 * s));
    EXPECT_EQ(moved.hitFlags, VTHitRight);
    // (0, 2.5) in its frame lies 0.5 mm outside the 4 mm side: the bottom band only.
    EXPECT_TRUE(moved.HitTest(30 - 2.5f * s, -10 + 2.5f * c));
    EXPECT_EQ(moved.hitFlags, VTHitBottom);
    EXPECT_FALSE(moved.HitTest(30 - 3.5f * s, -10 + 3.5f * c));

    // 1.5 mm wide: no inside region, every hit is a border hit.
    Item thin(nullptr, 0, 1.5f, 10);
    for (float x = -1.75f; x <= 1.75f; x += 0.25f) {
        if (thin.HitTest(x, 0)) {
            EXPECT_EQ(thin.hitFlags & VTHitInside, 0) << x;
            EXPECT_NE(thin.hitFlags, 0) << x;
        }
    }
}

TEST(ItemPlacement, SetToBoundingBoxKeepsTheOppositeEdge)
{
    Item item(nullptr, 0, 10, 4);
    item.centreX = 5;
    item.centreY = 5;
    item.boundingBox = LBoundingBox2T<float>(0, 3, 10, 7);
    LBoundingBox2T<float> same = item.boundingBox;
    item.SetToBoundingBox(same);
    EXPECT_FLOAT_EQ(item.centreX, 5);
    EXPECT_FLOAT_EQ(item.centreY, 5);
    float w = 0, h = 0;
    item.GetDimensions(w, h);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(item.transformChanges, 1);

    // Turned by 90 degrees, dragging the right edge 4 mm further: the centre moves 2 mm along
    // the item's own x axis, which is the surface's y axis.
    item.rotation = 90;
    LBoundingBox2T<float> wider(0, 3, 14, 7);
    item.SetToBoundingBox(wider);
    item.GetDimensions(w, h);
    EXPECT_EQ(w, 14);
    EXPECT_NEAR(item.centreX, 5, 1e-5);
    EXPECT_NEAR(item.centreY, 7, 1e-5);

    // A box given right to left still has a positive size.
    LBoundingBox2T<float> reversed(10, 7, 0, 3);
    item.SetToBoundingBox(reversed);
    item.GetDimensions(w, h);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 4);
}

TEST(ItemCollection, AddDeleteReplace)
{
    Log destroyed;
    Collection c;
    auto* a = new Item(&destroyed, 1);
    c.AddItem(a, false);
    EXPECT_TRUE(c.log.empty());
    EXPECT_EQ(c.first, a);
    a->next = reinterpret_cast<Item*>(0x1); // cleared when added again
    c.first = nullptr;
    c.AddItem(a, true);
    EXPECT_EQ(a->next, nullptr);
    c.AddItem(new Item(&destroyed, 2), true);
    c.AddItem(new Item(&destroyed, 3), true);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(c.log, (Log { "added 1", "changed", "added 2", "changed", "added 3", "changed" }));
    EXPECT_EQ(c.GetCount(), 3u);
    EXPECT_EQ(c.GetItemAt(2)->Id(), 3);
    EXPECT_EQ(c.GetItemAt(3), nullptr);
    EXPECT_EQ(c.IndexOf(c.GetItemAt(1)), 1);

    // Deleting: told while still listed, then destroyed, then changed.
    c.log.clear();
    Item* two = c.GetItemAt(1);
    EXPECT_TRUE(c.DeleteItem(two));
    EXPECT_EQ(c.log, (Log { "deleting 2 listed", "changed" }));
    EXPECT_EQ(destroyed, (Log { "destroyed 2" }));
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 3 }));

    auto stranger = std::make_unique<Item>(nullptr, 9);
    c.log.clear();
    EXPECT_FALSE(c.DeleteItem(stranger.get()));
    EXPECT_FALSE(c.DeleteItem(nullptr));
    EXPECT_TRUE(c.log.empty());

    // An observer that takes the item out keeps it: not destroyed here, still "changed".
    c.takeOutOnDelete = true;
    Item* three = c.GetItemAt(1);
    EXPECT_TRUE(c.DeleteItem(three));
    EXPECT_EQ(c.log, (Log { "deleting 3 listed", "changed" }));
    EXPECT_EQ(destroyed.size(), 1u);
    delete three;
    c.takeOutOnDelete = false;

    // Replacing the first item leaves the new one first.
    c.AddItem(new Item(&destroyed, 4), false);
    c.log.clear();
    destroyed.clear();
    auto* five = new Item(&destroyed, 5);
    EXPECT_TRUE(c.ReplaceItem(c.first, five, true));
    EXPECT_EQ(c.Order(), (std::vector<int> { 5, 4 }));
    EXPECT_EQ(destroyed, (Log { "destroyed 1" }));
    EXPECT_EQ(c.log, (Log { "deleting 1 listed", "changed", "added 5", "changed" }));
    // The last one, without notification.
    c.log.clear();
    EXPECT_TRUE(c.ReplaceItem(c.GetItemAt(1), new Item(&destroyed, 6), false));
    EXPECT_EQ(c.Order(), (std::vector<int> { 5, 6 }));
    EXPECT_TRUE(c.log.empty());
    auto* loose = new Item(nullptr, 7);
    EXPECT_FALSE(c.ReplaceItem(stranger.get(), loose, true));
    delete loose;
}

TEST(ItemCollection, AnItemAlreadyListedIsNeitherAddedNorSetInAgain)
{
    Log destroyed;
    Collection c;
    for (int i = 1; i <= 3; ++i)
        c.AddItem(new Item(&destroyed, i), false);
    Item* one = c.GetItemAt(0);
    Item* two = c.GetItemAt(1);
    // Appending a listed item again would cut the list behind it and loop it onto itself.
    c.AddItem(two, true);
    c.AddItem(one, true);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 3 }));
    EXPECT_TRUE(c.log.empty());
    // A listed item cannot take another's place: it would stand in the list twice.
    EXPECT_FALSE(c.ReplaceItem(one, two, true));
    EXPECT_FALSE(c.ReplaceItem(one, one, true));
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 3 }));
    EXPECT_TRUE(c.log.empty());
    EXPECT_TRUE(destroyed.empty());
}

TEST(ItemCollection, StackingOrder)
{
    Collection c;
    for (int i = 1; i <= 3; ++i)
        c.AddItem(new Item(nullptr, i), false);
    Item* one = c.GetItemAt(0);
    Item* three = c.GetItemAt(2);

    EXPECT_FALSE(c.RaiseItem(*three));
    EXPECT_FALSE(c.LowerItem(*one));
    EXPECT_TRUE(c.log.empty());
    EXPECT_FALSE(c.SwapItemWithNext(three));
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 3 }));

    EXPECT_TRUE(c.RaiseItem(*one));
    EXPECT_EQ(c.Order(), (std::vector<int> { 2, 1, 3 }));
    EXPECT_TRUE(c.RaiseItem(*one));
    EXPECT_EQ(c.Order(), (std::vector<int> { 2, 3, 1 }));
    EXPECT_TRUE(c.LowerItem(*three));
    EXPECT_EQ(c.Order(), (std::vector<int> { 3, 2, 1 }));
    EXPECT_TRUE(c.SwapItemWithNext(c.first));
    EXPECT_EQ(c.Order(), (std::vector<int> { 2, 3, 1 }));
    EXPECT_EQ(c.log, (Log { "changed", "changed", "changed", "changed" }));

    Item stranger;
    EXPECT_FALSE(c.RaiseItem(stranger));
    EXPECT_FALSE(c.LowerItem(stranger));
    EXPECT_FALSE(c.SwapItemWithNext(&stranger));
    EXPECT_FALSE(c.FlipItemHorizontal(stranger));
}

TEST(ItemCollection, FlipsMirrorTheTransform)
{
    Collection c;
    auto* item = new Item;
    c.AddItem(item, false);
    item->Rotate(30);
    const LMatrix<float> turned = item->transform;
    const float x = item->centreX, r = item->rotation;

    EXPECT_TRUE(c.FlipItemHorizontal(*item));
    EXPECT_EQ(item->transform.m[0][0], -turned.m[0][0]);
    EXPECT_EQ(item->transform.m[1][0], -turned.m[1][0]);
    EXPECT_EQ(item->transform.m[0][1], turned.m[0][1]);
    EXPECT_EQ(item->centreX, x);
    EXPECT_EQ(item->rotation, r);
    EXPECT_TRUE(c.FlipItemHorizontal(*item));
    EXPECT_EQ(item->transform, turned);

    EXPECT_TRUE(c.FlipItemVertical(*item));
    EXPECT_EQ(item->transform.m[0][1], -turned.m[0][1]);
    EXPECT_EQ(item->transform.m[1][1], -turned.m[1][1]);
    EXPECT_TRUE(c.FlipItemVertical(*item));
    EXPECT_EQ(item->transform, turned);
    EXPECT_EQ(item->transformChanges, 5); // the turn and four flips
}

TEST(ItemCollection, RefListDeletesTheFirstReference)
{
    Item a, b;
    VTRefList<Item> list;
    list.Add(a);
    list.Add(b);
    list.Add(a);
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_TRUE(list.Delete(a));
    ASSERT_NE(list.first, nullptr);
    EXPECT_EQ(list.first->item, &b);
    EXPECT_EQ(list.first->next->item, &a);
    EXPECT_TRUE(list.Delete(a));
    EXPECT_FALSE(list.Delete(a));
    EXPECT_TRUE(list.Contains(b));
    EXPECT_EQ(list.GetCount(), 1u);
}

// Appending keeps the list's last item: whatever changed the list before, a new item goes to the
// top and an item already listed is not appended again.
TEST(ItemCollection, AppendingAfterEveryChange)
{
    Collection c;
    auto add = [&](int id) {
        Item* item = new Item(nullptr, id);
        c.AddItem(item, false);
        return item;
    };
    Item* one = add(1);
    Item* two = add(2);
    Item* three = add(3);
    c.AddItem(three, false);
    c.AddItem(one, false);
    c.AddItem(two, false);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 3 }));
    EXPECT_TRUE(c.DeleteItem(three)); // the last one
    add(4);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 4 }));
    Item* four = c.GetItemAt(2);
    EXPECT_TRUE(c.ReplaceItem(four, new Item(nullptr, 5), false));
    add(6);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 5, 6 }));
    Item* five = c.GetItemAt(2);
    EXPECT_TRUE(c.RaiseItem(*five)); // 6 and 5 change places: 5 is last now
    c.AddItem(five, false);
    add(7);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 6, 5, 7 }));

    // An observer that takes the last item out while told of its deletion keeps it.
    c.takeOutOnDelete = true;
    Item* seven = c.GetItemAt(4);
    EXPECT_TRUE(c.DeleteItem(seven));
    c.takeOutOnDelete = false;
    add(8);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 6, 5, 8 }));
    delete seven;

    // Items linked behind the last one by hand are found.
    Item* nine = new Item(nullptr, 9);
    c.GetItemAt(4)->next = nine;
    add(10);
    EXPECT_EQ(c.Order(), (std::vector<int> { 1, 2, 6, 5, 8, 9, 10 }));
    c.DeleteAllItems();
    add(11);
    EXPECT_EQ(c.Order(), (std::vector<int> { 11 }));
}
