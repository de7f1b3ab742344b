// Adding many overlays to one design in the shown main window, one after another with the main
// loop turning in between (as the picture job and a start's requests add them): the n-th
// overlay costs what the first did. Counted within the run, never against the clock: the undo
// history keeps no copy of the design for an addition, and painting the canvas, which grows with
// the overlays, takes at most its share of the run (whatever asks for the window to be drawn).
#include "app/VTHistoryState.h"
#include "app/VTLabelLayoutData.h"
#include "app/lxa/mac/MainDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LMenu.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

class AddingOverlays : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        w = std::make_unique<MainDialog>();
        const char* argv[] = { "vorantel" };
        ASSERT_TRUE(w->MainWindowInit(1, argv));
        ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
        ASSERT_TRUE(w->CmNewDocument(new VTLabelLayoutDataGenericCDStandard));
        uitest::Pump(300);
    }
    void TearDown() override
    {
        if (w && !w->IsDestroyed()) {
            w->CmCloseDocument(false);
            w->MainWindowDestroy();
        }
        w.reset();
        LMainMenu::SetMainMenu(nullptr);
    }

    TemporaryFolder runtime;
    std::unique_ptr<MainDialog> w;
};

// The overlays the history's steps hold as copies of a whole design.
size_t CopiesInHistory(const VTHistoryStateStack& history)
{
    size_t copies = 0;
    for (uint64_t i = 0; i < history.count; ++i)
        if (auto* step = dynamic_cast<const VTCopySingleTemplateState*>(history.states[i]))
            copies += step->overlays.GetCount();
    return copies;
}

} // namespace

TEST_F(AddingOverlays, TheNthOverlayCostsWhatTheFirstDid)
{
    VTProjectViewer& viewer = w->projectViewer;
    VTProjectTemplateViewer& canvas = viewer.canvas;
    ASSERT_NE(viewer.GetCurrentTemplate(), nullptr);
    int paints = 0;
    long long paintMs = 0, lastMs = 0;
    std::function<void()> own = canvas.designPainted;
    canvas.designPainted = [&] {
        ++paints;
        lastMs = canvas.GetLastPaintMs();
        paintMs += lastMs;
        if (own)
            own();
    };

    LImageBuffer pixels;
    pixels.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 37, 23));
    constexpr int kAdded = 600;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kAdded; ++i) {
        viewer.AddOverlayImage(pixels, "bild.png");
        // The window gets its turn between two additions, as it does between the picture job's
        // files and a start's requests.
        LRunLoop::RunPending();
    }
    const long long runMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start)
                                .count();
    std::printf("%d overlays added in %lld ms; %d paints of the canvas took %lld ms\n", kAdded,
        runMs, paints, paintMs);
    EXPECT_EQ(viewer.GetCurrentTemplate()->GetCount(), size_t(kAdded));
    EXPECT_EQ(CopiesInHistory(viewer.history), 0u);
    // The canvas waits twice its last paint's length before it paints again: the paints before
    // the last one took a third of the run (everything in the window drawn with each addition
    // took nine tenths).
    EXPECT_LE((paintMs - lastMs) * 2, runMs) << paints << " paints";
    uitest::SaveScreenshot(
        w->GetNativeWindow(), uitest::ArtefactPath("adding-overlays", "six-hundred-pictures"));

    // The last one can be undone and redone as any addition.
    ASSERT_TRUE(viewer.CanUndo());
    viewer.Undo();
    EXPECT_EQ(viewer.GetCurrentTemplate()->GetCount(), size_t(kAdded - 1));
    viewer.Redo();
    EXPECT_EQ(viewer.GetCurrentTemplate()->GetCount(), size_t(kAdded));
    canvas.designPainted = own;
}
