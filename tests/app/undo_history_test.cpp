// The undo history: the bounded stack of steps, and the four kinds of step acting on a design
// shown in the canvas.
#include "app/VTHistoryStateStack.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A step that records what happens to it.
struct Journal {
    std::vector<std::string> events;
    int deleted = 0;
};

class RecordingState : public VTHistoryState {
public:
    RecordingState(const char* caption, Journal& journal)
        : VTHistoryState(caption, VTHistoryStateKindSingleOverlay)
        , fJournal(journal)
    {
    }
    ~RecordingState() override { ++fJournal.deleted; }
    void Redo() override { fJournal.events.push_back(std::string("redo ") + caption); }
    void Undo() override { fJournal.events.push_back(std::string("undo ") + caption); }

private:
    Journal& fJournal;
};

void AddSteps(VTHistoryStateStack& stack, Journal& journal, int from, int to)
{
    for (int i = from; i < to; ++i)
        stack.Add(new RecordingState(std::to_string(i).c_str(), journal));
}

// A canvas that counts its notifications.
class CountingViewer : public VTProjectTemplateViewer {
public:
    void NotifyItemSelectionChanged() override { ++selectionChanges; }
    void Invalidate() override { ++repaints; }
    int selectionChanges = 0;
    int repaints = 0;
};

class DesignWatcher : public VTProjectTemplateNotifyee {
public:
    void EvProjectTemplateChanged(VTProjectTemplate&) override { ++changes; }
    int changes = 0;
};

VTOverlayText* AddText(VTProjectTemplate& design, const char* text)
{
    auto* overlay = new VTOverlayText();
    overlay->SetText(text);
    design.InsertOverlay(overlay, false);
    return overlay;
}

std::string Texts(const VTProjectTemplate& design)
{
    std::string all;
    for (VTOverlay* o = design.first; o; o = o->next) {
        if (!all.empty())
            all += ",";
        all += o->GetType() == VTOverlayTypeText ? static_cast<VTOverlayText*>(o)->GetText() : "?";
    }
    return all;
}

LBrushInfo Solid(uint8_t r, uint8_t g, uint8_t b)
{
    LBrushInfo brush;
    brush.kind = LBrushInfoKindSolid;
    brush.color = LGuiColorAlpha::FromRGBA8(r, g, b, 255);
    return brush;
}

} // namespace

TEST(HistoryStack, NewStackAndEmptyOperations)
{
    VTHistoryStateStack stack;
    EXPECT_EQ(stack.current, -1);
    EXPECT_EQ(stack.count, 0u);
    EXPECT_EQ(stack.capacity, 0u);
    EXPECT_EQ(stack.states, nullptr);
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_FALSE(stack.Undo());
    EXPECT_FALSE(stack.Redo());
}

TEST(HistoryStack, KeepsTheLastMaxDepthSteps)
{
    Journal journal;
    {
        VTHistoryStateStack stack;
        stack.maxDepth = 100;
        AddSteps(stack, journal, 0, 150);
        EXPECT_EQ(stack.current, 99);
        EXPECT_EQ(stack.count, 100u);
        EXPECT_EQ(stack.capacity, 112u);
        EXPECT_EQ(journal.deleted, 50);
        EXPECT_STREQ(stack.GetState(0)->GetCaption(), "50");
        EXPECT_STREQ(stack.GetState(99)->GetCaption(), "149");
        // Undo runs the last first, down to the oldest kept; then nothing more.
        int undone = 0;
        while (stack.Undo())
            ++undone;
        EXPECT_EQ(undone, 100);
        EXPECT_EQ(journal.events.front(), "undo 149");
        EXPECT_EQ(journal.events.back(), "undo 50");
        EXPECT_TRUE(stack.CanRedo());
        EXPECT_TRUE(stack.Redo());
        EXPECT_EQ(journal.events.back(), "redo 50");
        EXPECT_EQ(stack.current, 0);
    }
    EXPECT_EQ(journal.deleted, 150); // the rest went with the stack
}

TEST(HistoryStack, CapacityGrowsAndShrinksInBlocksOf16)
{
    Journal journal;
    VTHistoryStateStack stack;
    stack.maxDepth = 100;
    AddSteps(stack, journal, 0, 1);
    EXPECT_EQ(stack.capacity, 16u);
    AddSteps(stack, journal, 1, 16);
    EXPECT_EQ(stack.capacity, 16u);
    AddSteps(stack, journal, 16, 17);
    EXPECT_EQ(stack.capacity, 32u);
    AddSteps(stack, journal, 17, 40);
    EXPECT_EQ(stack.capacity, 48u);
    for (int i = 0; i < 21; ++i)
        ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(stack.current, 18);
    AddSteps(stack, journal, 40, 41);
    EXPECT_EQ(stack.count, 20u);
    EXPECT_EQ(stack.capacity, 32u);
    EXPECT_STREQ(stack.GetState(18)->GetCaption(), "18");
    EXPECT_STREQ(stack.GetState(19)->GetCaption(), "40");
    EXPECT_EQ(stack.GetState(20), nullptr);
}

TEST(HistoryStack, AddAfterUndoCutsOffTheRedoSteps)
{
    Journal journal;
    VTHistoryStateStack stack;
    stack.maxDepth = 100;
    AddSteps(stack, journal, 0, 5);
    stack.Undo();
    stack.Undo();
    EXPECT_EQ(stack.current, 2);
    EXPECT_TRUE(stack.CanRedo());
    AddSteps(stack, journal, 5, 6);
    EXPECT_EQ(journal.deleted, 2);
    EXPECT_EQ(stack.current, 3);
    EXPECT_EQ(stack.count, uint64_t(stack.current + 1));
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_FALSE(stack.Redo());

    stack.Reset();
    EXPECT_EQ(journal.deleted, 6);
    EXPECT_EQ(stack.maxDepth, 100u);
    EXPECT_EQ(stack.current, -1);
    EXPECT_EQ(stack.capacity, 0u);
}

TEST(HistoryStack, ZeroDepthKeepsNothing)
{
    Journal journal;
    VTHistoryStateStack stack;
    AddSteps(stack, journal, 0, 3);
    EXPECT_EQ(journal.deleted, 3);
    EXPECT_FALSE(stack.CanUndo());
    stack.Add(nullptr);
    EXPECT_EQ(stack.count, 0u);
}

TEST(HistoryStack, CaptionIsCutAt259Bytes)
{
    Journal journal;
    RecordingState state(std::string(300, 'x').c_str(), journal);
    EXPECT_EQ(strlen(state.GetCaption()), 259u);
    EXPECT_EQ(state.GetKind(), VTHistoryStateKindSingleOverlay);
}

class HistorySteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        design.AddNotifyee(watcher);
        a = AddText(design, "A");
        b = AddText(design, "B");
        c = AddText(design, "C");
        viewer.SetCollection(&design);
        stack.maxDepth = 100;
    }

    VTProjectTemplate design { VTTemplateFormatDisc };
    CountingViewer viewer;
    DesignWatcher watcher;
    VTHistoryStateStack stack;
    VTOverlayText *a = nullptr, *b = nullptr, *c = nullptr;
};

TEST_F(HistorySteps, OverlayEditUndoneAndRedone)
{
    viewer.SetSelectedItemIndex(1);
    ASSERT_EQ(viewer.GetSelectedItemIndex(), 1);
    stack.Add(new VTCopySingleOverlayState("Text edited", viewer, design, b));
    b->SetText("B2");
    b->centreX = 7;

    const int changes = watcher.changes;
    viewer.ClearSelectedItems();
    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(Texts(design), "A,B,C");
    EXPECT_EQ(b->centreX, 0);
    EXPECT_EQ(design.GetItemAt(1), b); // the same overlay, its content exchanged
    EXPECT_EQ(viewer.GetSelectedItemIndex(), 1);
    EXPECT_EQ(viewer.GetCollection(), &design);
    EXPECT_GT(watcher.changes, changes); // the design (and so its project) was told

    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(Texts(design), "A,B2,C");
    EXPECT_EQ(b->centreX, 7);
    // Twice more: as it was after the edit.
    stack.Undo();
    stack.Redo();
    stack.Undo();
    stack.Redo();
    EXPECT_EQ(Texts(design), "A,B2,C");
    EXPECT_EQ(b->centreX, 7);
}

TEST_F(HistorySteps, OverlayStepWithoutSelectionChangesNothing)
{
    stack.Add(new VTCopySingleOverlayState("Text edited", viewer, design, b));
    b->SetText("B2");
    viewer.SetSelectedItemIndex(2);
    const int notices = viewer.selectionChanges;
    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B2,C");
    EXPECT_EQ(viewer.GetSelectedItemIndex(), -1); // the selection was cleared
    EXPECT_GT(viewer.selectionChanges, notices);
    EXPECT_EQ(viewer.GetCollection(), &design);

    // A step made without an overlay keeps no copy.
    VTCopySingleOverlayState empty("Nothing", viewer, design, nullptr);
    EXPECT_EQ(empty.copy, nullptr);
    empty.Undo();
    EXPECT_EQ(Texts(design), "A,B2,C");
}

TEST_F(HistorySteps, RaiseAndLowerUndoneAndRedone)
{
    viewer.SetSelectedItemIndex(0);
    auto* raise = new VTCopyListOverlayOrderState("Overlay Raise", viewer, design, true);
    EXPECT_EQ(raise->index, 1);
    stack.Add(raise);
    design.RaiseItem(*a);
    EXPECT_EQ(Texts(design), "B,A,C");

    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
    EXPECT_EQ(raise->index, 0);
    EXPECT_FALSE(raise->raise);
    EXPECT_EQ(viewer.GetSelectedItemIndex(), 0);
    EXPECT_TRUE(viewer.selectedItems.Contains(*a));

    stack.Redo();
    EXPECT_EQ(Texts(design), "B,A,C");
    EXPECT_EQ(raise->index, 1);
    EXPECT_TRUE(raise->raise);
    EXPECT_TRUE(viewer.selectedItems.Contains(*a));

    // Lower C from 2 to 1, then undo and redo.
    viewer.ClearSelectedItems();
    viewer.SetSelectedItemIndex(2);
    stack.Add(new VTCopyListOverlayOrderState("Overlay Lower", viewer, design, false));
    design.LowerItem(*c);
    EXPECT_EQ(Texts(design), "B,C,A");
    stack.Undo();
    EXPECT_EQ(Texts(design), "B,A,C");
    EXPECT_TRUE(viewer.selectedItems.Contains(*c));
    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
    stack.Redo();
    stack.Redo();
    EXPECT_EQ(Texts(design), "B,C,A");
}

TEST_F(HistorySteps, RaiseOfTheTopOverlaySwapsNothing)
{
    viewer.SetSelectedItemIndex(2);
    auto* raise = new VTCopyListOverlayOrderState("Overlay Raise", viewer, design, true);
    EXPECT_EQ(raise->index, 3); // past the end
    stack.Add(raise);
    design.RaiseItem(*c); // refused: already on top
    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
    EXPECT_EQ(raise->index, 2);
    stack.Redo();
    EXPECT_EQ(Texts(design), "A,B,C");
}

TEST_F(HistorySteps, DesignEditUndoneAndRedone)
{
    const LBrushInfo red = Solid(255, 0, 0);
    design.backgroundBrush.Reset(new LBrushInfo(red));
    viewer.SetSelectedItemIndex(0);
    auto* step = new VTCopySingleTemplateState("Background", viewer, design);
    EXPECT_EQ(step->overlays.GetCount(), 3u);
    EXPECT_NE(step->overlays.first, a); // copies
    stack.Add(step);

    design.backgroundBrush.Reset(new LBrushInfo(Solid(0, 0, 255)));
    strcpy(design.backgroundImagePath, "/bilder/bakgrund.png");
    design.DeleteItem(b);
    AddText(design, "D");
    a->SetText("A2");
    EXPECT_EQ(Texts(design), "A2,C,D");

    const int changes = watcher.changes;
    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
    ASSERT_TRUE(design.backgroundBrush);
    EXPECT_EQ(design.backgroundBrush->color.GetRed8(), 255);
    EXPECT_STREQ(design.backgroundImagePath, "");
    EXPECT_EQ(viewer.GetSelectedItemIndex(), 0);
    EXPECT_GT(watcher.changes, changes); // the project hears of it and is marked modified
    // The restored overlays belong to the design and tell it of their changes.
    const int before = watcher.changes;
    design.first->centreX = 1;
    static_cast<VTOverlayText*>(design.first)->SetText("A3");
    EXPECT_GT(watcher.changes, before);

    stack.Redo();
    EXPECT_EQ(Texts(design), "A2,C,D");
    EXPECT_EQ(design.backgroundBrush->color.GetBlue8(), 255);
    EXPECT_STREQ(design.backgroundImagePath, "/bilder/bakgrund.png");
    stack.Undo();
    EXPECT_EQ(Texts(design), "A3,B,C");
}

TEST_F(HistorySteps, DesignStepWithoutBrushRestoresNoBrush)
{
    design.backgroundBrush.Reset();
    stack.Add(new VTCopySingleTemplateState("Background", viewer, design));
    design.backgroundBrush.Reset(new LBrushInfo(Solid(0, 255, 0)));
    stack.Undo();
    EXPECT_FALSE(design.backgroundBrush);
    stack.Redo();
    ASSERT_TRUE(design.backgroundBrush);
    EXPECT_EQ(design.backgroundBrush->color.GetGreen8(), 255);
}

TEST_F(HistorySteps, EditAfterUndoClearsRedo)
{
    viewer.SetSelectedItemIndex(0);
    stack.Add(new VTCopySingleOverlayState("Edit 1", viewer, design, a));
    a->SetText("A1");
    stack.Add(new VTCopySingleOverlayState("Edit 2", viewer, design, a));
    a->SetText("A2");
    stack.Undo();
    EXPECT_EQ(Texts(design), "A1,B,C");
    stack.Add(new VTCopySingleOverlayState("Edit 3", viewer, design, a));
    a->SetText("A3");
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(stack.count, 2u);
    stack.Undo();
    EXPECT_EQ(Texts(design), "A1,B,C");
    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
    EXPECT_FALSE(stack.Undo());
}

TEST_F(HistorySteps, CanvasSelectionByPosition)
{
    EXPECT_EQ(viewer.GetSelectedItemIndex(), -1);
    viewer.SetSelectedItemIndex(-1);
    viewer.SetSelectedItemIndex(3);
    EXPECT_TRUE(viewer.selectedItems.IsEmpty());
    const int notices = viewer.selectionChanges;
    viewer.SetSelectedItemIndex(1);
    viewer.SetSelectedItemIndex(1); // already selected: nothing
    EXPECT_EQ(viewer.selectionChanges, notices + 1);
    EXPECT_EQ(viewer.GetSelectedItemIndex(), 1);
    viewer.SetSelectedItemIndex(2);
    EXPECT_EQ(viewer.GetSelectedItemIndex(), -1); // two selected
    const int repaints = viewer.repaints;
    viewer.SetCollection(&design);
    EXPECT_TRUE(viewer.selectedItems.IsEmpty());
    EXPECT_EQ(viewer.selectionChanges, notices + 2); // no notice from SetCollection
    EXPECT_EQ(viewer.repaints, repaints + 1);
}

// An added overlay: undoing takes that very overlay out (no copy of the design is made), redoing
// puts it back on top; the design is told each time and observes the overlay only while it holds
// it.
TEST_F(HistorySteps, AddedOverlaysUndoneAndRedone)
{
    viewer.SetSelectedItemIndex(1);
    stack.Add(new VTAddOverlayState("Text convert", viewer, design));
    VTOverlayText* d = AddText(design, "D");
    stack.Add(new VTAddOverlayState("Text convert", viewer, design));
    VTOverlayText* e = AddText(design, "E");
    EXPECT_EQ(Texts(design), "A,B,C,D,E");

    int changes = watcher.changes;
    ASSERT_TRUE(stack.Undo());
    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(Texts(design), "A,B,C");
    EXPECT_EQ(viewer.GetSelectedItemIndex(), 1);
    EXPECT_GT(watcher.changes, changes);
    changes = watcher.changes;
    d->SetText("D, utanför");
    EXPECT_EQ(watcher.changes, changes); // no longer the design's
    AddText(design, "F"); // appended after the end found again
    EXPECT_EQ(Texts(design), "A,B,C,F");
    design.DeleteItem(design.GetItemAt(3));

    ASSERT_TRUE(stack.Redo());
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(Texts(design), "A,B,C,D, utanför,E");
    EXPECT_EQ(design.GetItemAt(3), d); // the same overlays, back on top in order
    EXPECT_EQ(design.GetItemAt(4), e);
    changes = watcher.changes;
    e->SetText("E2");
    EXPECT_GT(watcher.changes, changes);

    // An edit after an undo drops the step with the overlay it kept.
    stack.Undo();
    ASSERT_EQ(viewer.GetSelectedItemIndex(), 1);
    stack.Add(new VTCopySingleOverlayState("Text edited", viewer, design, b));
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(Texts(design), "A,B,C,D, utanför");
    stack.Undo();
    stack.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
}

// A design that does not hold exactly the one overlay more (changed under the step) is left as
// it is.
TEST_F(HistorySteps, AnAddStepLeavesADesignChangedUnderItAlone)
{
    VTAddOverlayState step("Text convert", viewer, design);
    EXPECT_EQ(step.GetKind(), VTHistoryStateKindAddOverlay);
    step.Undo(); // nothing was added
    EXPECT_EQ(Texts(design), "A,B,C");
    EXPECT_EQ(step.removed, nullptr);
    AddText(design, "D");
    AddText(design, "E");
    step.Undo(); // two were
    EXPECT_EQ(Texts(design), "A,B,C,D,E");
    design.DeleteItem(design.GetItemAt(4));
    step.Undo();
    EXPECT_EQ(Texts(design), "A,B,C");
    AddText(design, "F");
    step.Redo(); // the place is taken
    EXPECT_EQ(Texts(design), "A,B,C,F");
    ASSERT_NE(step.removed, nullptr);
}
