// The clipart library's pixel guard, against a library served on 127.0.0.1: a preview whose
// declared size is beyond what a preview may have is refused before its pixels are taken,
// whatever its name says it is (a 40 KB GIF named .png claiming 12000 x 12000 pixels), while a
// small GIF under a PNG name still shows. The pictures are made by Python from the GIF byte layout
// (tests/support/make-pictures.py).
#include "support/ClipartTestSupport.h"
#include "support/CommandOutput.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace cliparttest;

namespace {

// The bytes of a GIF of make-pictures.py ("" when Python could not make it).
std::string Gif(int width, int height, int frames)
{
    TemporaryFolder dir;
    const std::string path = dir / "p.gif";
    int status = -1;
    CommandOutput("python3 '" + std::string(VT_SOURCE_DIR)
            + "/tests/support/make-pictures.py' gif '" + path + "' " + std::to_string(width) + " "
            + std::to_string(height) + " " + std::to_string(frames),
        &status);
    return status == 0 ? TemporaryFolder::ReadFile(path) : "";
}

long PeakKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST_F(ClipartDialogTest, APreviewClaimingTooManyPixelsIsRefusedWhateverItsName)
{
    const std::string bomb = Gif(12000, 12000, 1700);
    const std::string small = Gif(40, 30, 1);
    ASSERT_FALSE(bomb.empty()) << "python3 could not make the pictures";
    ASSERT_LT(bomb.size(), 41000u);
    Library library;
    library.Standard();
    library.Put("clipart/Birds/preview_moon.png", bomb);
    library.Put("clipart/Birds/preview_sun.png", small);
    LClipartDialog dialog;
    char result[260];
    AlertAnswer answer;
    bool moonShown = true, sunShown = false;
    long before = 0, after = 0;
    auto show = [&](const char* name) {
        const int row = RowOf(dialog, name);
        if (row < 0)
            return false;
        dialog.LVSetCurSel(LClipartDialog::kList, row);
        dialog.HandleListSelectionChange();
        uitest::PumpUntil([&] { return !dialog.Preview()->IsDownloading(); }, 5000);
        // What the download's end posted has run.
        uitest::PumpUntilIdle();
        return dialog.Preview()->HasImage();
    };
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.TVSelectItem(
                LClipartDialog::kTree, dialog.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog); });
            sunShown = show("sun");
            before = PeakKb();
            moonShown = show("moon");
            after = PeakKb();
            uitest::SaveScreenshot(
                dialog.GetNativeWindow(), uitest::ArtefactPath("clipart", "pixel-guard"));
        });
    dialog.Open(nullptr, result, nullptr);
    EXPECT_TRUE(sunShown);
    EXPECT_FALSE(moonShown);
    // Its 12000 x 12000 pixels would have been 550 MiB.
    EXPECT_LT(after - before, 100 * 1024) << before << " kB before, " << after << " kB after";
}
