// The label-layout editor on real windows: pages as tabs, applying a layout to the project,
// validation, disc layouts, importing and exporting ".vtlayout" files, and the template panel.
// Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTOptions.h"
#include "app/VTPrinterTray.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiFilePanel.h"
#include "platform/ui/LUiSystem.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

bool Shown(LMacWindow& d)
{
    return d.GetNativeWindow() && d.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(d.GetNativeWindow()->Gtk())) && d.IsInitialised();
}

std::string Shot(const char* name)
{
    return uitest::ArtefactPath("label_layout_editor", name);
}

struct CloseAtEnd {
    LMacWindow& dialog;
    ~CloseAtEnd() { dialog.PostCommand(kLCmdCancel); }
};

// Every message box answered with its first button; the headlines and messages kept.
struct Alerts {
    std::vector<std::string> headlines, messages;
    guint source = 0;
    Alerts()
    {
        source = g_timeout_add(
            15,
            +[](gpointer data) -> gboolean {
                auto* self = static_cast<Alerts*>(data);
                auto* d = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!d || !gtk_widget_get_mapped(d) || g_object_get_data(G_OBJECT(d), "vt-seen"))
                    return G_SOURCE_CONTINUE;
                g_object_set_data(G_OBJECT(d), "vt-seen", GINT_TO_POINTER(1));
                gchar* h = nullptr;
                g_object_get(d, "text", &h, nullptr);
                self->headlines.push_back(h ? h : "");
                self->messages.push_back(LUiAlertMessage(d));
                g_free(h);
                gtk_dialog_response(GTK_DIALOG(d), 0);
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    ~Alerts() { g_source_remove(source); }
};

class LayoutEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LSettingSetMeasurementUnit(0);
        LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.Path().c_str());
    }
    PrivateHomes homes;
    TemporaryFolder folder;
};

} // namespace

TEST_F(LayoutEditor, AddAPageAndATemplateThenApply)
{
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    const size_t designsBefore = project->templates.GetCount();
    VTLabelLayoutTemplate* current = nullptr;
    std::string title;
    int tabsAfterAdd = -1;
    float centreX = 0;
    int applied = -1;
    uitest::When(
        [&] {
            LNativeWindow* w = LNativeWindow::KeyWindow();
            auto* d = w ? dynamic_cast<VTLabelLayoutEditorDialog*>(
                          LCocoaWindow::GetThisProperty(w->ContentView()))
                        : nullptr;
            return d && Shown(*d);
        },
        [&] {
            auto& d = *dynamic_cast<VTLabelLayoutEditorDialog*>(
                LCocoaWindow::GetThisProperty(LNativeWindow::KeyWindow()->ContentView()));
            const char* t = gtk_window_get_title(GTK_WINDOW(d.GetNativeWindow()->Gtk()));
            title = t ? t : "";
            d.Command(VTLabelLayoutEditorDialog::kCmdAddPage, 0);
            tabsAfterAdd = int(d.TabBar().GetTabCount());
            // The new page is current; a disc goes on it, as the add-template choice gives.
            VTLabelLayoutPage* page = d.CurrentPage();
            ASSERT_TRUE(page);
            page->AddTemplate(VTTemplateFormatDisc, d.Layout().NewTemplateID());
            ASSERT_TRUE(d.Viewer().GetSingleSelectedItem());
            // Center X typed in the panel.
            d.TemplatePanel()->CenterX().SetValue(12.5f);
            d.TemplatePanel()->EvDecimalInputChanged(d.TemplatePanel()->CenterX());
            centreX = d.Viewer().GetSingleSelectedItem()->centreX;
            uitest::Pump(100);
            uitest::SaveScreenshot(d.GetNativeWindow(), Shot("added"));
            d.PostCommand(kLCmdOk);
        });
    applied = VTLabelLayoutEditorDialogOpen(nullptr, project, current);
    EXPECT_EQ(title, "Redigera etikettlayout");
    EXPECT_EQ(tabsAfterAdd, 4);
    EXPECT_FLOAT_EQ(centreX, 12.5f);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(project->GetLabelLayout()->pages.GetCount(), 4u);
    EXPECT_EQ(project->templates.GetCount(), designsBefore + 1);
    ASSERT_TRUE(current);
    EXPECT_FLOAT_EQ(current->centreX, 12.5f);
}

TEST_F(LayoutEditor, ValidationKeepsTheDialogOpen)
{
    VTLabelLayoutDataGenericCDStandard layout;
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    Alerts alerts;
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    bool openAfterEmptyPage = false, openAfterNoPage = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.Command(VTLabelLayoutEditorDialog::kCmdAddPage, 0);
            dialog.PostCommand(kLCmdOk);
            uitest::PumpUntil([&] { return alerts.headlines.size() == 1; });
            uitest::Pump(50);
            openAfterEmptyPage = dialog.IsOpen();
            while (VTLabelLayoutPage* p = layout.pages.GetHead())
                layout.DeletePage(p);
            dialog.PostCommand(kLCmdOk);
            uitest::PumpUntil([&] { return alerts.headlines.size() == 2; });
            uitest::Pump(50);
            openAfterNoPage = dialog.IsOpen();
        });
    EXPECT_FALSE(dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0));
    ASSERT_EQ(alerts.headlines.size(), 2u);
    EXPECT_EQ(alerts.headlines[0], "Redigera etikettlayout");
    EXPECT_EQ(alerts.messages[0], "Alla sidor i etikettlayouten måste innehålla minst en mall.");
    EXPECT_EQ(alerts.messages[1],
        "Det verkar inte finnas några giltiga sidor.\nAlla etikettlayouter måste innehålla minst "
        "en sida och en mall.");
    EXPECT_TRUE(openAfterEmptyPage);
    EXPECT_TRUE(openAfterNoPage);
}

TEST_F(LayoutEditor, RemovingTheFirstPageSelectsTheNextTab)
{
    VTLabelLayoutDataGenericCDStandard layout;
    VTLabelLayoutPage* second = layout.pages.GetHead()->GetNext();
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    VTLabelLayoutPage* after = nullptr;
    std::string firstTab;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.TabBar().SelectTabAtIndex(0);
            dialog.Command(VTLabelLayoutEditorDialog::kCmdTabSelected, 0);
            dialog.Command(VTLabelLayoutEditorDialog::kCmdRemovePage, 0);
            after = dialog.CurrentPage();
            firstTab = dialog.TabBar().GetTabAtIndex(0)->text;
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    EXPECT_EQ(after, second);
    EXPECT_EQ(firstTab, "Sidan 1");
    EXPECT_EQ(layout.pages.GetCount(), 2u);
}

// A middle click on a page's tab removes that page, as its close box does, and only while the
// layout has more than one page.
TEST_F(LayoutEditor, AMiddleClickOnATabClosesItsPage)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    VTLabelLayoutDataGenericCDStandard layout;
    VTLabelLayoutPage* second = layout.pages.GetHead()->GetNext();
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    size_t pagesBefore = 0, pagesAfter = 0, pagesLast = 0;
    bool secondGone = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            LTabBar& bar = dialog.TabBar();
            // The real pointer where the dialog fits the test's screen; at a backing scale of 2
            // it does not (the tab bar's own test clicks for real at both scales), and the
            // button goes to the bar's view as GDK events.
            LUiScreen screen;
            const LUiRect frame = dialog.GetNativeWindow()->Frame();
            const bool fits = LUiMainScreen(screen) && frame.width + 8 <= screen.frame.width
                && frame.height + 40 <= screen.frame.height;
            auto middle = [&](unsigned index) {
                LTab* tab = bar.GetTabAtIndex(index);
                const double s = dialog.GetBackingScaleFactor();
                const LUiPoint at { (tab->tabRect[0] + tab->tabRect[2]) / 2.0 / s,
                    (tab->tabRect[1] + tab->tabRect[3]) / 2.0 / s };
                if (fits) {
                    const LUiPoint p = bar.GetHostView()->ConvertToRoot(at);
                    uitest::XClickButton(dialog.GetNativeWindow(), p.x, p.y, 2);
                } else {
                    uitest::SendButton(bar.GetHostView(), at.x, at.y, 2, true);
                    uitest::SendButton(bar.GetHostView(), at.x, at.y, 2, false);
                }
                uitest::Pump(300);
            };
            pagesBefore = layout.pages.GetCount();
            middle(1);
            pagesAfter = layout.pages.GetCount();
            secondGone = true;
            for (VTLabelLayoutPage* p = layout.pages.GetHead(); p; p = p->GetNext())
                secondGone = secondGone && p != second;
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("middle-click-closed"));
            for (int i = 0; i < 3 && layout.pages.GetCount() > 1; ++i)
                middle(0);
            middle(0); // the last page stays
            pagesLast = layout.pages.GetCount();
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    EXPECT_EQ(pagesBefore, 3u);
    EXPECT_EQ(pagesAfter, 2u);
    EXPECT_TRUE(secondGone);
    EXPECT_EQ(pagesLast, 1u);
}

TEST_F(LayoutEditor, ADiscLayoutOffersPrintersAndRefusesPaperImports)
{
    // A paper layout written out, to be imported into a disc layout.
    const std::string paperFile = folder / "paper.vtlayout";
    {
        VTLabelLayoutDataGenericCDStandard paper;
        VTLabelLayoutSave job;
        job.layout = &paper;
        std::strcpy(job.path, paperFile.c_str());
        LProcessInterfaceVoid never;
        ASSERT_EQ(Process(never, job), LProcessResultSuccess);
    }
    VTLabelLayoutDataDirectToCDDVDStandard disc;
    VTLabelLayoutTemplate* only = disc.pages.GetHead()->first;
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    Alerts alerts;
    VTLabelLayoutEditorDialog dialog(disc, designs, current);
    int printers = 0;
    VTPrinterTrayID other = VTPrinterTrayID(0);
    std::vector<int> enabled;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::Pump(100);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("disc"));
            for (int id = VTLabelLayoutEditorDialog::kCmdNew;
                 id <= VTLabelLayoutEditorDialog::kCmdDeleteTemplate; ++id)
                if (dialog.GetNativeToolbar() && dialog.GetNativeToolbar()->isItemEnabled(id))
                    enabled.push_back(id);
            auto& list = dialog.LayoutPanel()->PaperList();
            for (int i = 0; list.PDLGetItemData(1001, i) != (unsigned long)-1 && i < 300; ++i)
                ++printers;
            // Another printer: the single disc goes to its tray's disc centre.
            for (int i = 1; i < kVTPrinterTrayCount; ++i)
                if (VTPrinterTrayArray[i].name && VTPrinterTrayArray[i].id != disc.printerTray
                    && VTPrinterTrayGetTraySize(VTPrinterTrayArray[i].id).offsetX != 0) {
                    other = VTPrinterTrayArray[i].id;
                    break;
                }
            dialog.EvPaperSizeChanged(other);
            uitest::WhenPanelUp([&](GtkWidget* panel) { uitest::AcceptFile(panel, paperFile); });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdImport, 0);
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    // Only "Importera" and "Exportera".
    EXPECT_EQ(enabled,
        (std::vector<int> {
            VTLabelLayoutEditorDialog::kCmdImport, VTLabelLayoutEditorDialog::kCmdExport }));
    EXPECT_GT(printers, 5);
    EXPECT_EQ(disc.printMedium, VTPrintMediumDisc);
    EXPECT_EQ(disc.printerTray, other);
    EXPECT_EQ(disc.pages.GetCount(), 1u);
    EXPECT_EQ(disc.pages.GetHead()->first, only);
    EXPECT_FLOAT_EQ(only->centreX, VTPrinterTrayGetTraySize(other).offsetX);
    ASSERT_FALSE(alerts.messages.empty());
    EXPECT_EQ(alerts.messages.back(),
        "Den importerade layouten har utformats för papperet, men du redigerar en layout för den "
        "utskrivbara skivan!");
}

TEST_F(LayoutEditor, ExportThenImportGivesAnEqualLayoutNamedAfterTheFile)
{
    VTLabelLayoutDataGenericDVDStandard layout;
    layout.pages.GetHead()->first->centreX = 7;
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    Alerts alerts;
    const std::string file = folder / "Min layout.vtlayout";
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    std::string emptyHeadline;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::WhenPanelUp([&](GtkWidget* panel) {
                gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), "Min layout.vtlayout");
                uitest::Pump(100);
                gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
            });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdExport, 0);
            // Then every position away: exporting is refused.
            layout.pages.GetHead()->first->centreX = 99;
            uitest::WhenPanelUp([&](GtkWidget* panel) { uitest::AcceptFile(panel, file); });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdImport, 0);
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    EXPECT_STREQ(layout.name, "Min layout");
    EXPECT_EQ(layout.pages.GetCount(), 2u);
    EXPECT_FLOAT_EQ(layout.pages.GetHead()->first->centreX, 7);

    VTLabelLayout empty;
    empty.AddPage();
    alerts.headlines.clear();
    VTLabelLayoutEditorDialog emptyDialog(empty, designs, current);
    uitest::When([&] { return Shown(emptyDialog); },
        [&] {
            CloseAtEnd guard { emptyDialog };
            emptyDialog.Command(VTLabelLayoutEditorDialog::kCmdExport, 0);
        });
    emptyDialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    ASSERT_FALSE(alerts.headlines.empty());
    EXPECT_EQ(alerts.headlines[0], "Tom etikettlayout");
}

// A layout file whose name is not UTF-8 (Latin-1, legal on Linux) is listed by "Importera", as
// the chooser shows such a name, and imported whole; "Exportera" lists it too.
TEST_F(LayoutEditor, ALayoutNamedInLatin1IsListedAndImported)
{
    const std::string file = folder / "\xe9tikett.vtlayout";
    {
        VTLabelLayoutDataGenericDVDStandard saved;
        saved.pages.GetHead()->first->centreX = 7;
        VTLabelLayoutSave job;
        job.layout = &saved;
        std::snprintf(job.path, sizeof job.path, "%s", file.c_str());
        LProcessInterfaceVoid never;
        ASSERT_EQ(Process(never, job), LProcessResultSuccess);
    }
    VTLabelLayoutDataGenericDVDStandard layout;
    layout.pages.GetHead()->first->centreX = 99;
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    Alerts alerts;
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    std::vector<std::string> imported, exported;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::WhenPanelUp([&](GtkWidget* panel) {
                imported = uitest::WaitListedNames(panel, 1);
                uitest::SavePanelShot(panel, Shot("latin1-import"));
                uitest::AcceptFile(panel, file);
            });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdImport, 0);
            uitest::WhenPanelUp([&](GtkWidget* panel) {
                exported = uitest::WaitListedNames(panel, 1);
                gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_CANCEL);
            });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdExport, 0);
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    EXPECT_EQ(imported, std::vector<std::string> { uitest::ShownName(file) });
    EXPECT_EQ(exported, std::vector<std::string> { uitest::ShownName(file) });
    EXPECT_FLOAT_EQ(layout.pages.GetHead()->first->centreX, 7);
}

// The panels start in the project folder used last, however long its path: the layout exported
// under a typed name lands there, not in the documents folder, and is imported from there.
TEST_F(LayoutEditor, ExportAndImportInAFolderWithALongPath)
{
    // A documents folder of the test's own, where a layout that misses its folder would go.
    const std::string home = folder / "home";
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    struct RestoreHome {
        std::string home;
        ~RestoreHome() { setenv("HOME", home.c_str(), 1); }
    } restore { oldHome };
    const std::string deep
        = folder.Path() + "/" + std::string(200, 'd') + "/" + std::string(200, 'e');
    ASSERT_EQ(g_mkdir_with_parents(deep.c_str(), 0700), 0);
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, deep.c_str());
    VTLabelLayoutDataGenericDVDStandard layout;
    layout.pages.GetHead()->first->centreX = 7;
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    Alerts alerts;
    const std::string file = deep + "/Lång layout.vtlayout";
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::WhenPanelUp([&](GtkWidget* panel) {
                // The panel is in the remembered folder, then takes the name.
                uitest::PumpUntil([&] {
                    gchar* in = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(panel));
                    const bool there = in && std::string(in) == deep;
                    g_free(in);
                    return there;
                });
                gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), "Lång layout.vtlayout");
                gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
            });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdExport, 0);
            layout.pages.GetHead()->first->centreX = 99;
            uitest::WhenPanelUp([&](GtkWidget* panel) { uitest::AcceptFile(panel, file); });
            dialog.Command(VTLabelLayoutEditorDialog::kCmdImport, 0);
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    EXPECT_EQ(access(file.c_str(), F_OK), 0);
    EXPECT_NE(access((home + "/Documents/Lång layout.vtlayout").c_str(), F_OK), 0);
    EXPECT_STREQ(layout.name, "Lång layout");
    EXPECT_FLOAT_EQ(layout.pages.GetHead()->first->centreX, 7);
    LStringLongTemplate<char> recent;
    _LUserSettingGetString("Settings", kVTOptionsRecentFolderProject, "", recent);
    EXPECT_EQ(std::string(recent.c_str()), deep);
}

TEST_F(LayoutEditor, ABadFileIsTheJobsErrorAndTheLayoutStays)
{
    VTLabelLayoutDataGenericCDStandard layout;
    LList<VTProjectTemplate> designs;
    VTLabelLayoutTemplate* current = nullptr;
    Alerts alerts;
    VTLabelLayoutEditorDialog dialog(layout, designs, current);
    const std::string truncated = folder / "cut.vtlayout";
    TemporaryFolder::WriteFile(truncated,
        TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/vtlayout/paper_two_pages.vtlayout")
            .substr(0, 100));
    const std::string notLayout = folder / "picture.vtlayout";
    TemporaryFolder::WriteFile(notLayout, "\x89PNG\r\n\x1a\n not a layout at all");
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            for (const std::string& file : { truncated, notLayout,
                     std::string(VT_TEST_DATA) + "/vtlayout/off_sheet.vtlayout" }) {
                uitest::WhenPanelUp([file](GtkWidget* panel) { uitest::AcceptFile(panel, file); });
                dialog.Command(VTLabelLayoutEditorDialog::kCmdImport, 0);
            }
        });
    dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    // Each import first asks about the positions no design shows yet (answered "Ignorera"), then
    // the job reports its error.
    ASSERT_EQ(alerts.headlines.size(), 6u);
    for (size_t i = 0; i < 6; i += 2) {
        EXPECT_EQ(alerts.headlines[i], "Importera etikettlayout från en fil");
        EXPECT_EQ(alerts.headlines[i + 1], "Importera etikettlayout");
    }
    EXPECT_STREQ(layout.key, "GenericCDStandard");
    EXPECT_EQ(layout.pages.GetCount(), 3u);
}

// "Papper:" shows the paper of the layout being edited, also after an import: "Brev" or "A4",
// and nothing for a paper that is neither (Legal, Ledger), never the one shown before.
TEST_F(LayoutEditor, ThePaperChoiceShowsTheLayoutsPaper)
{
    auto write = [&](const char* name, LPaperSizeID paper) {
        VTLabelLayoutDataGenericCDStandard layout;
        layout.paperSize = paper;
        VTLabelLayoutSave job;
        job.layout = &layout;
        const std::string file = folder / name;
        std::snprintf(job.path, sizeof job.path, "%s", file.c_str());
        LProcessInterfaceVoid never;
        EXPECT_EQ(Process(never, job), LProcessResultSuccess);
        return file;
    };
    const std::string legal = write("legal.vtlayout", LPaperSizeUSLegal);
    const std::string a4 = write("a4.vtlayout", LPaperSizeA4);
    const std::string letter = write("letter.vtlayout", LPaperSizeUSLetter);
    auto shown = [](VTLabelLayoutEditorDialog& d) {
        char text[260] = "";
        d.LayoutPanel()->PaperList().PDLGetText(1001, text);
        return std::string(text);
    };
    const std::string brev = LPaperSizeGetDisplayName(LPaperSizeUSLetter);

    // Imports one after the other into a letter layout.
    {
        VTLabelLayoutDataGenericCDStandard layout;
        layout.paperSize = LPaperSizeUSLetter;
        LList<VTProjectTemplate> designs;
        VTLabelLayoutTemplate* current = nullptr;
        Alerts alerts;
        VTLabelLayoutEditorDialog dialog(layout, designs, current);
        std::vector<std::string> seen;
        uitest::When([&] { return Shown(dialog); },
            [&] {
                CloseAtEnd guard { dialog };
                seen.push_back(shown(dialog));
                for (const std::string& file : { legal, a4, legal, letter }) {
                    uitest::WhenPanelUp(
                        [file](GtkWidget* panel) { uitest::AcceptFile(panel, file); });
                    dialog.Command(VTLabelLayoutEditorDialog::kCmdImport, 0);
                    seen.push_back(shown(dialog));
                    if (file == legal && seen.size() == 2) {
                        uitest::PumpUntilDrawn(dialog.GetNativeWindow());
                        uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("legal-imported"));
                    }
                }
            });
        dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
        EXPECT_EQ(seen, (std::vector<std::string> { brev, "", "A4", "", brev }));
        EXPECT_EQ(layout.paperSize, LPaperSizeUSLetter);
    }
    // Opened on each paper.
    const struct {
        LPaperSizeID paper;
        std::string expected;
    } opened[] = { { LPaperSizeUSLegal, "" }, { LPaperSizeUSLedger, "" }, { LPaperSizeA4, "A4" },
        { LPaperSizeUSLetter, brev } };
    for (const auto& o : opened) {
        VTLabelLayoutDataGenericCDStandard layout;
        layout.paperSize = o.paper;
        LList<VTProjectTemplate> designs;
        VTLabelLayoutTemplate* current = nullptr;
        VTLabelLayoutEditorDialog dialog(layout, designs, current);
        std::string seen = "-";
        uitest::When([&] { return Shown(dialog); },
            [&] {
                CloseAtEnd guard { dialog };
                seen = shown(dialog);
            });
        dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
        EXPECT_EQ(seen, o.expected) << o.paper;
    }
}
