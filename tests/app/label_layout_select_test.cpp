// Choosing a project's label layout on real windows: the six choices, the stationery dialog
// with its page tabs and preview, cancelling it, and custom layouts read from ".vtlayout" files,
// broken ones reported while the choice stays open. Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTStationerySelectDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiFilePanel.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

bool Shown(LMacWindow& d)
{
    return d.GetNativeWindow() && d.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(d.GetNativeWindow()->Gtk())) && d.IsInitialised();
}

std::string Title(LMacWindow& d)
{
    const char* t = gtk_window_get_title(GTK_WINDOW(d.GetNativeWindow()->Gtk()));
    return t ? t : "";
}

std::string Shot(const char* name)
{
    return uitest::ArtefactPath("label_layout_select", name);
}

bool Enabled(LMacWindow& d, int id)
{
    LView* v = d.GetControlHandle(id);
    return v && v->Widget() && gtk_widget_get_sensitive(v->Widget());
}

bool ClickControl(LMacWindow& d, int id)
{
    int x = 0, y = 0, w = 0, h = 0;
    d.GetControlPixels(id, x, y, w, h);
    const double s = d.GetBackingScaleFactor();
    return uitest::XClick(d.GetNativeWindow(), (x + w / 2) / s, (y + h / 2) / s);
}

// The stationery dialog open now (the innermost modal window of that class).
VTStationerySelectDialog* gStationery = nullptr;

class LayoutSelect : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "xdotool missing";
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.Path().c_str());
    }
    PrivateHomes homes;
    TemporaryFolder folder;
};

} // namespace

TEST_F(LayoutSelect, TheCDButtonGivesTheGenericCDLayout)
{
    VTLabelLayoutSelectDialog dialog;
    std::string title;
    int w = 0, h = 0, largestW = 0, largestH = 0;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            uitest::Pump(150);
            title = Title(dialog);
            dialog.GetClientSize(w, h);
            dialog.GetLargestClientSizePixels(largestW, largestH);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("select"));
            if (!ClickControl(dialog, VTLabelLayoutSelectDialog::kCD))
                dialog.PostCommand(kLCmdCancel);
        });
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true,
        [](LDialog&, int, int, bool) {} };
    dialog.Open(nullptr, data);
    EXPECT_EQ(title, "Välj etikettlayout");
    const double s = dialog.GetBackingScaleFactor();
    // The template's size is the least (as far as the screen holds it): the dialog is as large
    // as its texts need.
    EXPECT_GE(w / s, std::min(840.0, largestW / s) - 1);
    EXPECT_GE(h / s, std::min(526.0, largestH / s) - 1);
    std::unique_ptr<VTLabelLayout> layout(dialog.TakeLayout());
    ASSERT_TRUE(layout);
    EXPECT_STREQ(layout->key, "GenericCDStandard");
}

TEST_F(LayoutSelect, StationeryCancelledThenABrokenFileThenDVD)
{
    // A truncated layout file, chosen under "Ladda anpassad...".
    std::string good = TemporaryFolder::ReadFile(
        std::string(VT_SOURCE_DIR) + "/tests/data/vtlayout/paper_two_pages.vtlayout");
    ASSERT_GT(good.size(), 100u);
    const std::string broken = folder / "broken.vtlayout";
    TemporaryFolder::WriteFile(broken, good.substr(0, good.size() / 2));

    VTLabelLayoutSelectDialog dialog;
    std::string stationeryTitle, firstName, errorHeadline;
    int tabs = -1, selectedRow = -2;
    std::vector<std::string> tabTexts;
    bool stillOpenAfterStationery = false, stillOpenAfterBroken = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            // "Välj mallar..." opens the stationery; look at it, then cancel it.
            uitest::When(
                [&] {
                    LNativeWindow* w = LNativeWindow::KeyWindow();
                    auto* d = w ? dynamic_cast<VTStationerySelectDialog*>(
                                  LCocoaWindow::GetThisProperty(w->ContentView()))
                                : nullptr;
                    return (gStationery = d) && Shown(*d);
                },
                [&] {
                    VTStationerySelectDialog& st = *gStationery;
                    uitest::Pump(200);
                    stationeryTitle = Title(st);
                    selectedRow = st.LVGetFirstSel(VTStationerySelectDialog::kList);
                    tabs = int(st.TabBar().GetTabCount());
                    for (unsigned i = 0; i < st.TabBar().GetTabCount(); ++i)
                        tabTexts.push_back(st.TabBar().GetTabAtIndex(i)->text);
                    if (st.Selected())
                        firstName = st.Selected()->key;
                    uitest::SaveScreenshot(st.GetNativeWindow(), Shot("stationery"));
                    if (!ClickControl(st, kLCmdCancel))
                        st.PostCommand(kLCmdCancel);
                });
            dialog.CmTemplateStationery();
            stillOpenAfterStationery = dialog.IsOpen() && !dialog.Chosen();

            // A broken custom file: the progress window's error, and the dialog stays.
            uitest::WhenPanelUp([&](GtkWidget* panel) { uitest::AcceptFile(panel, broken); });
            uitest::AnswerAlert(&errorHeadline, "Fortsätt");
            dialog.CmTemplateCustom();
            stillOpenAfterBroken = dialog.IsOpen() && !dialog.Chosen();
            if (!ClickControl(dialog, VTLabelLayoutSelectDialog::kDVD))
                dialog.PostCommand(kLCmdCancel);
        });
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true,
        [](LDialog&, int, int, bool) {} };
    dialog.Open(nullptr, data);
    EXPECT_EQ(stationeryTitle, "Välj mallar");
    EXPECT_EQ(selectedRow, 0);
    EXPECT_EQ(firstName, "GenericCDStandard");
    EXPECT_EQ(tabs, 3);
    EXPECT_EQ(tabTexts, (std::vector<std::string> { "Sidan 1", "Sidan 2", "Sidan 3" }));
    EXPECT_TRUE(stillOpenAfterStationery);
    EXPECT_EQ(errorHeadline, "Läsa in etikettlayout");
    EXPECT_TRUE(stillOpenAfterBroken);
    std::unique_ptr<VTLabelLayout> layout(dialog.TakeLayout());
    ASSERT_TRUE(layout);
    EXPECT_STREQ(layout->key, "GenericDVDStandard");
}

TEST_F(LayoutSelect, AGoodCustomFileIsChosenAndItsFolderRemembered)
{
    const std::string good = folder / "two.vtlayout";
    TemporaryFolder::WriteFile(good,
        TemporaryFolder::ReadFile(
            std::string(VT_SOURCE_DIR) + "/tests/data/vtlayout/paper_two_pages.vtlayout"));
    // The folder used last has gone: the panel opens in the documents folder.
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, "/nonexistent/vt/folder");
    char documents[260];
    LFile::GetUserDocumentsFolder(documents);
    LFile::CreateFolderTree(documents);
    std::string opened;
    VTLabelLayoutSelectDialog dialog;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            uitest::WhenPanelUp([&](GtkWidget* panel) {
                // The chooser settles on its folder a moment after it shows.
                uitest::PumpUntil([&] {
                    gchar* f = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(panel));
                    opened = f ? f : "";
                    g_free(f);
                    return !opened.empty();
                });
                uitest::AcceptFile(panel, good);
            });
            dialog.CmTemplateCustom();
            if (!dialog.Chosen())
                dialog.PostCommand(kLCmdCancel);
        });
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true,
        [](LDialog&, int, int, bool) {} };
    dialog.Open(nullptr, data);
    EXPECT_EQ(opened, documents);
    std::unique_ptr<VTLabelLayout> layout(dialog.TakeLayout());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->pages.GetCount(), 2u);
    char stored[260] = {};
    _LUserSettingGetString("Settings", kVTOptionsRecentFolderProject, "", stored);
    EXPECT_EQ(std::string(stored), folder.Path());
}

TEST_F(LayoutSelect, WithoutASelectionThePreviewHidesAndVäljIsOff)
{
    VTStationerySelectDialog dialog;
    bool enabledBefore = false, enabledAfter = true, viewerShown = true;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            enabledBefore = Enabled(dialog, kLCmdOk);
            dialog.LVSelectNone(VTStationerySelectDialog::kList);
            dialog.Command(VTStationerySelectDialog::kCmdListSelection, 0);
            enabledAfter = Enabled(dialog, kLCmdOk);
            viewerShown = LMacWindow::_IsControlVisible(
                dialog.GetControlHandle(VTStationerySelectDialog::kViewer));
            dialog.PostCommand(kLCmdOk); // refused without a selection
            uitest::Pump(100);
            dialog.PostCommand(kLCmdCancel);
        });
    dialog.Open(nullptr, "StationerySelectDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_TRUE(enabledBefore);
    EXPECT_FALSE(enabledAfter);
    EXPECT_FALSE(viewerShown);
    EXPECT_FALSE(dialog.Confirmed());
    EXPECT_EQ(dialog.TakeLayout(), nullptr);
}
