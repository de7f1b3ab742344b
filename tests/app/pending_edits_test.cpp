// Text typed into "Textegenskaper" with the real keyboard reaches the project after a pause of a
// quarter second; whatever reads or changes the project before the pause is over takes it first,
// as one step: an undo (which then undoes the typing), a copy, an autosave, an overlay added, and
// a click on the canvas that selects something else. The size field's typing likewise. The panel
// showing a text again while its box has the keyboard is no edit: no step.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTOverlayText.h"
#include "support/E2eSession.h"
#include "support/ProjectViewerTestSupport.h"

#include <gtest/gtest.h>
#include <string>

using namespace pvtest;

namespace {

class PendingEdits : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
        lock = std::make_unique<uitest::KeyboardLock>();
    }
    std::unique_ptr<uitest::KeyboardLock> lock;
};

std::string Typed(VTProjectViewer& v)
{
    LStringLongTemplate<char> text;
    v.textPanel->text.GetEditText(1000, text);
    return text.c_str();
}

// Types into whatever has the keyboard in the window; returns once the text box shows the text,
// its report still waiting for the pause.
void TypeIntoPanel(Fixture& f, const std::string& keys, const std::string& shown)
{
    uitest::Run("xdotool windowfocus --sync "
        + std::to_string(f.window.GetNativeWindow()->XWindowId()) + " type --delay 10 '" + keys
        + "'");
    uitest::PumpUntil([&] { return Typed(f.viewer) == shown; }, 3000);
}

// A text overlay added with the keyboard in its text box.
VTOverlayText& AddText(Fixture& f, const char* text)
{
    f.viewer.AddOverlayText(text);
    auto* added = static_cast<VTOverlayText*>(f.Design()->first);
    while (added->next)
        added = static_cast<VTOverlayText*>(added->next);
    return *added;
}

} // namespace

// Ctrl+Z (the viewer's undo) right after typing undoes the typing, and redo brings it back; no
// step comes later.
TEST_F(PendingEdits, AnUndoRightAfterTypingUndoesTheTyping)
{
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    VTOverlayText& text = AddText(f, "");
    const uint64_t added = f.viewer.history.count;
    TypeIntoPanel(f, "XYZ", "XYZ");
    ASSERT_TRUE(f.viewer.textPanel->text.TimerIsSet(1)) << "the report came already";
    f.viewer.Undo();
    ASSERT_EQ(f.Count(), 1u) << "the undo took the text away, not the typing";
    EXPECT_STREQ(text.GetText(), "");
    f.viewer.Redo();
    EXPECT_STREQ(text.GetText(), "XYZ");
    uitest::Pump(400);
    EXPECT_EQ(f.viewer.history.count, added + 1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text property");
}

// A copy right after typing holds the typed text, and so does its paste.
TEST_F(PendingEdits, ACopyRightAfterTypingHoldsTheTypedText)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    VTOverlayText& text = AddText(f, "Skiva");
    f.viewer.textPanel->text.SetFocus(1000);
    uitest::Run("xdotool key --clearmodifiers ctrl+End");
    TypeIntoPanel(f, " ett", "Skiva ett");
    ASSERT_TRUE(f.viewer.textPanel->text.TimerIsSet(1));
    ASSERT_TRUE(f.viewer.ClipboardCopySelectedItems());
    EXPECT_STREQ(text.GetText(), "Skiva ett");
    f.viewer.pasteMouseOverride = true;
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    ASSERT_EQ(f.Count(), 2u);
    EXPECT_STREQ(static_cast<VTOverlayText*>(text.next)->GetText(), "Skiva ett");
}

// An autosave right after typing into a saved project: the typing makes it unsaved and is in the
// autosave's file. The size typed into its field goes the same way.
TEST_F(PendingEdits, AnAutosaveRightAfterTypingSavesTheTyping)
{
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    VTOverlayText& text = AddText(f, "Spara");
    f.project->SetSaveState(VTProjectSaveStateSaved);
    f.viewer.textPanel->text.SetFocus(1000);
    uitest::Run("xdotool key --clearmodifiers ctrl+End");
    TypeIntoPanel(f, "d", "Sparad");
    ASSERT_TRUE(f.viewer.textPanel->text.TimerIsSet(1));
    f.viewer.AutoSave();
    EXPECT_EQ(f.project->GetSaveState(), VTProjectSaveStateModified);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !f.viewer.IsAutoSaving(); }, 30000));
    const std::string file = Setting(kVTAutoSaveSection, kVTAutoSaveFileName);
    ASSERT_FALSE(file.empty()) << "no autosave was written";
    EXPECT_EQ(e2e::SavedTexts(file), std::vector<std::string> { "Sparad" });

    // The size: typed into its field, then an autosave at once.
    VTControlNumericalInput& size = f.viewer.textPanel->size;
    f.project->SetSaveState(VTProjectSaveStateSaved);
    size.SetFocus(1002);
    uitest::Run("xdotool key --clearmodifiers ctrl+a");
    uitest::Run("xdotool type --delay 10 37");
    ASSERT_TRUE(uitest::PumpUntil([&] { return size.UDGetInt(1001) == 37; }, 3000));
    ASSERT_TRUE(size.TimerIsSet(1));
    f.viewer.AutoSave();
    EXPECT_EQ(text.GetFont().GetSize(), 37);
    EXPECT_EQ(f.project->GetSaveState(), VTProjectSaveStateModified);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !f.viewer.IsAutoSaving(); }, 30000));
    f.viewer.DeleteAutoSave();
}

// A second text added (as a later start adds one) right after typing into the first, and a
// click on the canvas's empty corner right after typing into the second: each text keeps what
// was typed into it, each typing a step of its own before what came next.
TEST_F(PendingEdits, TypingStaysWithItsTextWhenTheSelectionChanges)
{
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    VTOverlayText& first = AddText(f, "");
    TypeIntoPanel(f, "Ett", "Ett");
    ASSERT_TRUE(f.viewer.textPanel->text.TimerIsSet(1));
    VTOverlayText& second = AddText(f, "");
    EXPECT_STREQ(first.GetText(), "Ett");
    TypeIntoPanel(f, "Tva", "Tva");
    ASSERT_TRUE(f.viewer.textPanel->text.TimerIsSet(1));
    int cx = 0, cy = 0, cw = 0, ch = 0;
    f.viewer.GetControlPixels(kVTProjectViewerCanvasId, cx, cy, cw, ch);
    const int s = Scale();
    ASSERT_TRUE(uitest::XClick(f.window.GetNativeWindow(), double(cx + 4) / s, double(cy + 4) / s));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !f.viewer.canvas.GetSingleSelectedItem(); }, 3000));
    uitest::Pump(400);
    EXPECT_STREQ(first.GetText(), "Ett");
    EXPECT_STREQ(second.GetText(), "Tva");
    f.viewer.Undo();
    EXPECT_STREQ(second.GetText(), "");
    f.viewer.Undo();
    EXPECT_EQ(f.Count(), 1u);
    f.viewer.Undo();
    EXPECT_STREQ(first.GetText(), "");
}

// A second text added while the box has the keyboard: the box shows the new text (which it
// reports as a change) and no step comes of it; an undo then leaves the add to be redone.
TEST_F(PendingEdits, ShowingATextAgainIsNoStep)
{
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    AddText(f, "A");
    AddText(f, "B");
    const uint64_t steps = f.viewer.history.count;
    uitest::Pump(400);
    EXPECT_EQ(f.viewer.history.count, steps);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text convert");
    f.viewer.Undo();
    uitest::Pump(400);
    EXPECT_EQ(f.Count(), 1u);
    EXPECT_TRUE(f.viewer.CanRedo());
    f.viewer.Redo();
    EXPECT_EQ(f.Count(), 2u);
}
