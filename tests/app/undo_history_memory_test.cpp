// The undo history bounded by memory: the pictures its steps hold beyond the open project's own
// count against a budget, each once however many steps share it. Past it, the steps to redo go
// first, then the oldest; the step at current always stays, and what is left undoes and redoes
// as it shows. Pictures are made with known pixel sizes and counted as they are made and freed.
#include "app/VTHistoryStateStack.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayImage.h"
#include "app/VTProject.h"
#include "app/VTProjectTemplateViewer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr uint64_t kMiB = 1 << 20;

// A picture that counts the live ones.
class CountedPicture : public VTCountableImageBuffer {
public:
    // side x side pixels of 4 bytes.
    explicit CountedPicture(int side)
    {
        AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, side, side));
        ++live;
    }
    ~CountedPicture() override { --live; }
    static inline int live = 0;
};

// A canvas without a window.
class QuietViewer : public VTProjectTemplateViewer {
public:
    void NotifyItemSelectionChanged() override { }
    void Invalidate() override { }
};

// 1024 x 1024 pixels: 4 MiB.
constexpr int kSide = 1024;

class HistoryMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        CountedPicture::live = 0;
        project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
        design = project->templates.GetHead();
        viewer.SetCollection(design);
        stack.maxDepth = 100;
        stack.project = project.get();
    }
    void TearDown() override
    {
        stack.Reset();
        viewer.SetCollection(nullptr);
    }

    // Whether every place up to count holds a step.
    bool AllPlacesHoldSteps() const
    {
        for (uint64_t i = 0; i < stack.count; ++i)
            if (!stack.states[i])
                return false;
        return true;
    }
    // Adds a picture as the viewer does: the step first, then the overlay on top.
    VTOverlayImage* AddPicture()
    {
        stack.Add(new VTAddOverlayState("Image add", viewer, *design));
        auto* overlay = new VTOverlayImage;
        overlay->image.reset(new CountedPicture(kSide));
        design->InsertOverlay(overlay, false);
        return overlay;
    }
    // Deletes the overlay as the viewer does: the step holds the design with it, and the budget
    // is kept once the design has changed.
    void Delete(VTOverlay* overlay)
    {
        stack.Add(new VTCopySingleTemplateState("Overlay delete", viewer, *design));
        design->DeleteItem(overlay);
        stack.KeepWithinBudget();
    }
    // A move of the overlay: a step holding a copy of it.
    void Move(VTOverlay* overlay)
    {
        viewer.SetSelectedItemIndex(0);
        stack.Add(new VTCopySingleOverlayState("Overlay move", viewer, *design, overlay));
        overlay->centreX += 1;
    }

    std::unique_ptr<VTProject> project;
    VTProjectTemplate* design = nullptr;
    QuietViewer viewer;
    VTHistoryStateStack stack;
};

} // namespace

// A picture added and deleted again and again: the history keeps the deleted ones only up to
// its budget, the pictures beyond it are freed, and the last deletion can still be undone.
TEST_F(HistoryMemory, DeletedPicturesAreKeptUpToTheBudget)
{
    stack.memoryBudget = 10 * kMiB; // room for two deleted pictures
    for (int cycle = 0; cycle < 27; ++cycle) {
        Delete(AddPicture());
        EXPECT_LE(stack.GetMemorySize(), stack.memoryBudget) << "cycle " << cycle;
        EXPECT_LE(CountedPicture::live, 2) << "cycle " << cycle;
    }
    EXPECT_EQ(CountedPicture::live, 2);
    EXPECT_EQ(stack.GetMemorySize(), 8 * kMiB);
    EXPECT_LT(stack.count, 10u);
    // The last deletion, and the one before it, are undone with their pictures.
    ASSERT_TRUE(stack.Undo());
    ASSERT_NE(design->first, nullptr);
    EXPECT_EQ(design->first->GetType(), VTOverlayTypeImage);
    EXPECT_EQ(stack.GetMemorySize(), 4 * kMiB); // the one shown counts no more
    stack.Reset();
    design->DeleteAllItems();
    EXPECT_EQ(CountedPicture::live, 0);
}

// Without a budget the same cycles keep every picture, as far back as the steps go.
TEST_F(HistoryMemory, WithoutABudgetTheStepsAloneBoundIt)
{
    for (int cycle = 0; cycle < 27; ++cycle)
        Delete(AddPicture());
    EXPECT_EQ(CountedPicture::live, 27);
    EXPECT_EQ(stack.GetMemorySize(), 27 * 4 * kMiB);
    EXPECT_EQ(stack.count, 54u);
}

// The open project's pictures cost the history nothing: moving them around, step after step,
// drops no step however small the budget. A picture that several steps hold counts once.
TEST_F(HistoryMemory, PicturesOfTheProjectAndSharedOnesCountOnce)
{
    stack.memoryBudget = 5 * kMiB;
    VTOverlayImage* a = AddPicture();
    VTOverlayImage* b = AddPicture();
    for (int i = 0; i < 20; ++i) {
        Move(a);
        Move(b);
    }
    EXPECT_EQ(stack.count, 42u);
    EXPECT_EQ(stack.GetMemorySize(), 0u);
    // Deleted, the picture is held by 21 steps (its moves and the deletion): 4 MiB, within.
    Delete(a);
    EXPECT_EQ(stack.count, 43u);
    EXPECT_EQ(stack.GetMemorySize(), 4 * kMiB);
    // The second deleted takes the history to 8 MiB: the oldest steps go until the first
    // picture's are gone too.
    Delete(b);
    EXPECT_EQ(stack.GetMemorySize(), 4 * kMiB);
    EXPECT_EQ(CountedPicture::live, 1);
    ASSERT_TRUE(stack.CanUndo());
    stack.Undo();
    ASSERT_NE(design->first, nullptr);
    EXPECT_EQ(design->first->GetType(), VTOverlayTypeImage);
    EXPECT_FALSE(stack.CanUndo());
}

// A step over the budget on its own is kept: the last edit can always be undone.
TEST_F(HistoryMemory, TheNewestStepStaysEvenPastTheBudget)
{
    stack.memoryBudget = 1 * kMiB;
    VTOverlayImage* a = AddPicture();
    Delete(a);
    EXPECT_EQ(stack.count, 1u);
    EXPECT_EQ(stack.GetMemorySize(), 4 * kMiB);
    ASSERT_TRUE(stack.Undo());
    ASSERT_NE(design->first, nullptr);
    EXPECT_EQ(design->first->GetType(), VTOverlayTypeImage);
    EXPECT_FALSE(stack.CanUndo());
}

// Undoing an addition takes the picture out of the project into the step, where it counts;
// redoing it puts it back.
TEST_F(HistoryMemory, UndoneStepsCountThePicturesTheyHoldAfterTheUndo)
{
    stack.memoryBudget = 6 * kMiB;
    AddPicture();
    AddPicture();
    EXPECT_EQ(stack.GetMemorySize(), 0u);
    ASSERT_TRUE(stack.Undo()); // the second addition: its picture now lies in the redo step
    EXPECT_EQ(stack.GetMemorySize(), 4 * kMiB);
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(stack.GetMemorySize(), 0u);
    EXPECT_EQ(CountedPicture::live, 2);
}

// Steps that wait to be redone go first when the budget is kept, the newest first, and what is
// left is whole: every place up to count holds a step, and a redo does what it shows.
TEST_F(HistoryMemory, KeptWithStepsToRedoTheNewestGoFirst)
{
    AddPicture();
    AddPicture();
    AddPicture();
    ASSERT_TRUE(stack.Undo());
    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(stack.GetMemorySize(), 8 * kMiB);
    stack.memoryBudget = 6 * kMiB;
    EXPECT_TRUE(stack.KeepWithinBudget());
    EXPECT_EQ(stack.current, 0);
    ASSERT_EQ(stack.count, 2u);
    EXPECT_TRUE(AllPlacesHoldSteps());
    EXPECT_EQ(stack.GetMemorySize(), 4 * kMiB);
    EXPECT_EQ(CountedPicture::live, 2); // the third picture is freed
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(design->GetCount(), 2u);
    EXPECT_FALSE(stack.CanRedo());
    // Nothing more to drop: within the budget.
    EXPECT_FALSE(stack.KeepWithinBudget());
    ASSERT_TRUE(stack.Undo());
    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(design->GetCount(), 0u);
}

// Everything undone: no step is the current one, the steps to redo go newest first and the one
// left redoes the first picture.
TEST_F(HistoryMemory, KeptWithEverythingUndoneTheFirstStepStays)
{
    AddPicture();
    AddPicture();
    AddPicture();
    while (stack.Undo()) { }
    EXPECT_EQ(design->GetCount(), 0u);
    stack.memoryBudget = 6 * kMiB;
    EXPECT_TRUE(stack.KeepWithinBudget());
    EXPECT_EQ(stack.current, -1);
    ASSERT_EQ(stack.count, 1u);
    ASSERT_TRUE(AllPlacesHoldSteps());
    EXPECT_EQ(CountedPicture::live, 1);
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(design->GetCount(), 1u);
    EXPECT_FALSE(stack.Redo());
    // Past a budget smaller than one picture, nothing to redo is kept at all.
    ASSERT_TRUE(stack.Undo());
    stack.memoryBudget = 1 * kMiB;
    EXPECT_TRUE(stack.KeepWithinBudget());
    EXPECT_EQ(stack.count, 0u);
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_FALSE(stack.Redo());
    EXPECT_EQ(CountedPicture::live, 0);
}

// Four added, the last undone, a budget of less than one picture: the step to redo goes, the
// three that can be undone stay, and a redo then does nothing.
TEST_F(HistoryMemory, KeptPastTheBudgetRedoIsNoLongerOffered)
{
    for (int i = 0; i < 4; ++i)
        AddPicture();
    ASSERT_TRUE(stack.Undo());
    stack.memoryBudget = 3 * kMiB;
    EXPECT_TRUE(stack.KeepWithinBudget());
    EXPECT_EQ(stack.current, 2);
    ASSERT_EQ(stack.count, 3u);
    EXPECT_TRUE(AllPlacesHoldSteps());
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_FALSE(stack.Redo());
    EXPECT_EQ(design->GetCount(), 3u);
    while (stack.Undo()) { }
    EXPECT_EQ(design->GetCount(), 0u);
}

// With steps to redo and deleted pictures among those to undo: the steps to redo go first, then
// the oldest; the step at current stays even past the budget and undoes its deletion.
TEST_F(HistoryMemory, KeptAfterTheStepsToRedoTheOldestGoAndTheCurrentStays)
{
    Delete(AddPicture()); // steps 0 (add) and 1 (delete) hold picture A
    Delete(AddPicture()); // steps 2 and 3 hold picture B
    ASSERT_TRUE(stack.Undo()); // B shown again
    ASSERT_TRUE(stack.Undo()); // B in the step that adds it
    EXPECT_EQ(stack.current, 1);
    EXPECT_EQ(stack.GetMemorySize(), 8 * kMiB);
    stack.memoryBudget = 3 * kMiB;
    EXPECT_TRUE(stack.KeepWithinBudget());
    EXPECT_EQ(stack.current, 0);
    ASSERT_EQ(stack.count, 1u);
    ASSERT_NE(stack.states[0], nullptr);
    EXPECT_STREQ(stack.states[0]->GetCaption(), "Overlay delete");
    EXPECT_EQ(CountedPicture::live, 1);
    ASSERT_TRUE(stack.Undo());
    ASSERT_EQ(design->GetCount(), 1u);
    EXPECT_EQ(design->first->GetType(), VTOverlayTypeImage);
}
