// Open, save and folder panels: the filter string's parsing, the proposed names and extension
// checks, and the panels themselves run modally on the display.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LFile.h"
#include "lfw/mac/LFileBrowse.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LUiFilePanel.h"
#include "support/PanelTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

namespace {

std::string Filter(std::initializer_list<const char*> parts)
{
    std::string s;
    for (const char* p : parts) {
        s += p;
        s += '\0';
    }
    s += '\0';
    return s;
}

std::vector<std::string> List(const LStringListTemplate<char>& l)
{
    return std::vector<std::string>(l.begin(), l.end());
}

std::vector<int> Ints(const LVector<int>& v)
{
    std::vector<int> out;
    for (size_t i = 0; i < v.GetCount(); i++)
        out.push_back(v[i]);
    return out;
}

} // namespace

TEST(ParseFileTypes, GroupsTypesAndStarts)
{
    std::string f = Filter({ "Bilder (*.png;*.jpg)", "*.png;*.jpg", "Alla filer", "*.*" });
    LStringListTemplate<char> types, groups;
    LVector<int> starts;
    int group = 0;
    float widest = -1;
    LParseFileTypes(types, &starts, groups, ".JPG", group, widest, f.c_str());
    EXPECT_EQ(List(types), (std::vector<std::string> { "png", "jpg" }));
    EXPECT_EQ(Ints(starts), (std::vector<int> { 0, -1 }));
    EXPECT_EQ(List(groups), (std::vector<std::string> { "Bilder (*.png;*.jpg)", "Alla filer" }));
    EXPECT_EQ(group, 1);
    EXPECT_GT(widest, 0);
    // The second group allows every file.
    LSavePanelFileTypesControl control;
    ASSERT_TRUE(control.Init(groups, types, starts, group, widest, true));
    EXPECT_EQ(control.handleSelection(0), (std::vector<std::string> { "png", "jpg" }));
    EXPECT_TRUE(control.handleSelection(1).empty());
    EXPECT_EQ(control.getSelectedGroup(), 2);
}

TEST(ParseFileTypes, GivenDefaultGroupStays)
{
    std::string f = Filter({ "PNG", "*.png", "JPEG", "*.jpg;*.jpeg" });
    LStringListTemplate<char> types, groups;
    LVector<int> starts;
    int group = 2;
    float widest = 0;
    LParseFileTypes(types, &starts, groups, "png", group, widest, f.c_str());
    EXPECT_EQ(group, 2);
    EXPECT_EQ(Ints(starts), (std::vector<int> { 0, 1 }));
    LSavePanelFileTypesControl control;
    ASSERT_TRUE(control.Init(groups, types, starts, group, widest, false));
    EXPECT_EQ(control.TypesOfGroup(1), (std::vector<std::string> { "jpg", "jpeg" }));
    EXPECT_EQ(control.TypesOfGroup(0), (std::vector<std::string> { "png" }));
}

TEST(ParseFileTypes, AllFilesFirstEmptyPatternAndGroupsWithoutItems)
{
    {
        std::string f = Filter({ "Text", "*.*;*.txt" });
        LStringListTemplate<char> types, groups;
        LVector<int> starts;
        int group = 0;
        float widest = 0;
        LParseFileTypes(types, &starts, groups, "txt", group, widest, f.c_str());
        EXPECT_EQ(List(types), (std::vector<std::string> { "txt" }));
        EXPECT_EQ(Ints(starts), (std::vector<int> { -1 }));
        EXPECT_EQ(group, 1);
    }
    {
        // A description with an empty pattern ends the parse.
        std::string f = std::string("PNG\0*.png\0Tom\0\0Efter\0*.gif\0\0", 29);
        LStringListTemplate<char> types, groups;
        LVector<int> starts;
        int group = 0;
        float widest = 0;
        LParseFileTypes(types, &starts, groups, "", group, widest, f.c_str());
        EXPECT_EQ(List(groups), (std::vector<std::string> { "PNG" }));
        EXPECT_EQ(List(types), (std::vector<std::string> { "png" }));
        EXPECT_EQ(group, 0);
    }
    {
        // A group without "*." items counts as all files: one start per group.
        std::string f = Filter({ "Konstig", "png", "GIF", "*.gif" });
        LStringListTemplate<char> types, groups;
        LVector<int> starts;
        int group = 0;
        float widest = 0;
        LParseFileTypes(types, &starts, groups, "gif", group, widest, f.c_str());
        EXPECT_EQ(groups.GetCount(), 2u);
        EXPECT_EQ(Ints(starts), (std::vector<int> { -1, 0 }));
        EXPECT_EQ(group, 2);
    }
    {
        // Null and empty filters change nothing; text between ";" and "*." is skipped.
        LStringListTemplate<char> types, groups;
        int group = 0;
        float widest = 5;
        LParseFileTypes(types, nullptr, groups, "", group, widest, nullptr);
        LParseFileTypes(types, nullptr, groups, "", group, widest, "");
        EXPECT_EQ(widest, 5);
        std::string f = Filter({ "Blandat", "*.a; x *.b;*.c" });
        LParseFileTypes(types, nullptr, groups, "", group, widest, f.c_str());
        EXPECT_EQ(List(types), (std::vector<std::string> { "a", "b", "c" }));
    }
}

TEST(SavePanelNames, ProposedNamesAndExtensionChecks)
{
    EXPECT_EQ(LSaveProposedName("", ".pdf"), "Namnlös.pdf");
    EXPECT_EQ(LSaveProposedName(nullptr, "png"), "Namnlös.png");
    EXPECT_EQ(LSaveProposedName("/tmp/a.b.c", "png"), "a.b.png");
    EXPECT_EQ(LSaveProposedName("/tmp/mapp.x/namn", ".vtproj"), "namn.vtproj");
    std::string ext;
    EXPECT_EQ(LSaveCheckExtension("/tmp/X.PDF", "pdf", 1, ext), LSaveExtensionOK);
    EXPECT_EQ(LSaveCheckExtension("/tmp/X.PDF", ".pdf", 1, ext), LSaveExtensionOK);
    EXPECT_EQ(LSaveCheckExtension("/tmp/x.png", "pdf", 1, ext), LSaveExtensionDiffers);
    EXPECT_EQ(ext, ".png");
    EXPECT_EQ(LSaveCheckExtension("/tmp/x.png", "pdf", 2, ext), LSaveExtensionOK);
    EXPECT_EQ(LSaveCheckExtension("/tmp/a.d/x", "pdf", 3, ext), LSaveExtensionMissing);
    EXPECT_EQ(LSaveCheckExtension("/tmp/x", "", 1, ext), LSaveExtensionOK);
}

// ------------------------------------------------------------------------------------------------
// The panels on the display

namespace {

class FilePanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The chooser keeps its settings in memory, not in the user's settings store.
        setenv("GSETTINGS_BACKEND", "memory", 1);
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
    TemporaryFolder folder;
};

// The name the chooser proposes (its copy freed).
std::string CurrentName(GtkWidget* panel)
{
    gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(panel));
    const std::string copy = name ? name : "";
    g_free(name);
    return copy;
}

} // namespace

TEST_F(FilePanelTest, SavePanelProposesAndStoresThePath)
{
    std::string f = Filter({ "PDF (*.pdf)", "*.pdf" });
    char path[260] = "";
    char dir[260];
    std::strcpy(dir, folder.Path().c_str());
    std::string proposed;
    unsigned modalWhileUp = 0;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        proposed = CurrentName(panel);
        modalWhileUp = LModalCounter::Count();
        uitest::SavePanelShot(panel, "screenshots/file_panel/save.png");
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), "X.PDF");
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
    });
    int index = -7;
    ASSERT_TRUE(
        LFile::BrowseSaveFilePathOverwrite(nullptr, path, "Spara", dir, f.c_str(), "pdf", index));
    EXPECT_EQ(proposed, "Namnlös.pdf");
    EXPECT_GT(modalWhileUp, 0u) << "the main menu is locked while the panel runs";
    EXPECT_EQ(LModalCounter::Count(), 0u);
    EXPECT_EQ(std::string(path), folder.Path() + "/X.PDF");
    EXPECT_EQ(std::string(dir), folder.Path());
    EXPECT_EQ(index, 1);

    // a.b.c proposes a.b; cancelling leaves the buffers and still writes the index.
    std::strcpy(path, "/tmp/a.b.c");
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        proposed = CurrentName(panel);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_CANCEL);
    });
    index = -7;
    EXPECT_FALSE(
        LFile::BrowseSaveFilePathOverwrite(nullptr, path, "Spara", dir, f.c_str(), "pdf", index));
    EXPECT_EQ(proposed, "a.b.pdf");
    EXPECT_STREQ(path, "/tmp/a.b.c");
    EXPECT_EQ(index, 1);
}

TEST_F(FilePanelTest, OpenPanelFiltersAndSameBufferKeepsThePath)
{
    std::ofstream(folder.Path() + "/bild.PNG") << "x";
    std::ofstream(folder.Path() + "/text.txt") << "x";
    std::string f = Filter({ "PNG", "*.png", "Text", "*.txt" });
    char buffer[260];
    std::strcpy(buffer, folder.Path().c_str());
    int filterIndex = 2;
    std::string shownFilter;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        GtkFileFilter* shown = gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(panel));
        shownFilter = shown ? gtk_file_filter_get_name(shown) : "";
        uitest::AcceptFile(panel, folder.Path() + "/text.txt");
    });
    ASSERT_TRUE(LFile::BrowseReadFilePath(
        nullptr, buffer, "Öppna", buffer, f.c_str(), "png", "Lägg till", &filterIndex));
    EXPECT_EQ(shownFilter, "Text");
    EXPECT_EQ(std::string(buffer), folder.Path() + "/text.txt");
    EXPECT_EQ(filterIndex, 2);
}

TEST_F(FilePanelTest, CancelledFolderPanelLeavesTheDesktop)
{
    char dir[260] = "";
    std::string label;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        GtkWidget* accept
            = gtk_dialog_get_widget_for_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
        label = accept ? gtk_button_get_label(GTK_BUTTON(accept)) : "";
        // Escape, as the dialog binds it.
        g_signal_emit_by_name(panel, "close");
    });
    EXPECT_FALSE(LFile::BrowseFolder(nullptr, dir, "Välj målmapp", LBrowseFolderFlags {}));
    EXPECT_EQ(label, "Välj");
    const char* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    std::string expected = desktop ? desktop : std::string(g_get_home_dir()) + "/Desktop";
    EXPECT_EQ(std::string(dir), expected);
}

TEST_F(FilePanelTest, SeveralFilesAreListedInOrder)
{
    std::ofstream(folder.Path() + "/a.png") << "x";
    std::ofstream(folder.Path() + "/b.png") << "x";
    char dir[260];
    LStringListTemplate<char> paths;
    paths.Add("gammal");
    static std::string where;
    where = folder.Path();
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(panel), where.c_str());
        g_timeout_add(
            400,
            [](gpointer p) -> gboolean {
                // Ctrl+A in the list.
                gtk_file_chooser_select_all(GTK_FILE_CHOOSER(p));
                g_timeout_add(
                    300,
                    [](gpointer q) -> gboolean {
                        gtk_dialog_response(GTK_DIALOG(q), GTK_RESPONSE_ACCEPT);
                        return G_SOURCE_REMOVE;
                    },
                    p);
                return G_SOURCE_REMOVE;
            },
            panel);
    });
    std::strcpy(dir, "/finns/inte");
    ASSERT_TRUE(LFile::BrowseMultipleReadFiles(
        nullptr, paths, "Lägg till bilder", dir, Filter({ "PNG", "*.png" }).c_str(), "png"));
    ASSERT_EQ(paths.GetCount(), 2u) << paths[0];
    EXPECT_EQ(std::string(paths[0]), folder.Path() + "/a.png");
    EXPECT_EQ(std::string(paths[1]), folder.Path() + "/b.png");
    EXPECT_EQ(std::string(dir), folder.Path());
}

TEST_F(FilePanelTest, PathsTooLongForTheBuffersAreRefused)
{
    // A folder deep enough that a chosen path passes 259 bytes.
    static std::string deep;
    deep = folder.Path();
    while (deep.size() < 250) {
        deep += "/" + std::string(40, 'd');
        ASSERT_EQ(g_mkdir_with_parents(deep.c_str(), 0755), 0);
    }
    char path[260] = "orörd";
    char dir[260] = "orörd";
    uitest::WhenPanelUp([](GtkWidget* panel) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(panel), deep.c_str());
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), "ett-långt-namn.pdf");
        g_timeout_add(
            300,
            [](gpointer p) -> gboolean {
                gtk_dialog_response(GTK_DIALOG(p), GTK_RESPONSE_ACCEPT);
                return G_SOURCE_REMOVE;
            },
            panel);
    });
    std::string headline;
    uitest::AnswerAlert(&headline, "OK");
    EXPECT_FALSE(LFile::BrowseSaveFilePathOverwrite(
        nullptr, path, "Spara", dir, Filter({ "PDF", "*.pdf" }).c_str(), "pdf"));
    EXPECT_EQ(headline, "Sökvägen är för lång");
    EXPECT_STREQ(path, "orörd");
    EXPECT_STREQ(dir, "orörd");
}

// The forms for whole paths take any path the system can open: a file and a new name at the
// end of a path of nearly 4,000 bytes come back whole, with their folder, and so does that
// folder chosen in the folder panel.
TEST_F(FilePanelTest, WholePathsComeBackWhole)
{
    static std::string deep;
    deep = folder.Path();
    while (deep.size() < 3900)
        deep += "/" + std::string(200, 'd');
    ASSERT_EQ(g_mkdir_with_parents(deep.c_str(), 0755), 0);
    const std::string file = deep + "/skiva.vtproj";
    std::ofstream(file) << "x";
    std::string path, dir = deep;
    uitest::WhenPanelUp([&](GtkWidget* panel) { uitest::AcceptFile(panel, file); });
    ASSERT_TRUE(LFile::BrowseReadFilePath(nullptr, path, "Läs in projekt", dir,
        Filter({ "Projekt", "*.vtproj" }).c_str(), ".vtproj", "Ladda upp"));
    EXPECT_EQ(path, file);
    EXPECT_EQ(dir, deep);

    uitest::WhenPanelUp([](GtkWidget* panel) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(panel), deep.c_str());
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), "ny.pdf");
        g_timeout_add(
            300,
            [](gpointer p) -> gboolean {
                gtk_dialog_response(GTK_DIALOG(p), GTK_RESPONSE_ACCEPT);
                return G_SOURCE_REMOVE;
            },
            panel);
    });
    std::string saved = "skiva", where = folder.Path();
    ASSERT_TRUE(LFile::BrowseSaveFilePathOverwrite(
        nullptr, saved, "Spara", where, Filter({ "PDF", "*.pdf" }).c_str(), "pdf"));
    EXPECT_EQ(saved, deep + "/ny.pdf");
    EXPECT_EQ(where, deep);

    uitest::WhenPanelUp([](GtkWidget* panel) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(panel), deep.c_str());
        g_timeout_add(
            300,
            [](gpointer p) -> gboolean {
                gtk_dialog_response(GTK_DIALOG(p), GTK_RESPONSE_ACCEPT);
                return G_SOURCE_REMOVE;
            },
            panel);
    });
    std::string chosen = folder.Path();
    ASSERT_TRUE(LFile::BrowseFolder(nullptr, chosen, "Välj målmapp", LBrowseFolderFlags {}));
    EXPECT_EQ(chosen, deep);
}

TEST_F(FilePanelTest, ExtensionQuestionsKeepTheNameAsTyped)
{
    // Without a type list a name without an extension is asked about; with one it takes the
    // type's (below).
    const std::string pdf = Filter({ "PDF", "*.pdf" });
    char dir[260];
    std::strcpy(dir, folder.Path().c_str());
    struct Case {
        const char* typed;
        const char* answer;
        const char* headline;
        bool stored;
        const std::string* filter;
    };
    const std::string none;
    for (const Case& c :
        { Case { "utan", "Fortsätt utan tillägg", "Markeringen har inget filtillägg", true, &none },
            Case { "x.png", "Använd .png", "Markeringen har olika filtillägg", true, &pdf },
            Case { "y.png", "Avbryt", "Markeringen har olika filtillägg", false, &pdf } }) {
        char path[260] = "";
        static std::string typed;
        typed = c.typed;
        uitest::WhenPanelUp([](GtkWidget* panel) {
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), typed.c_str());
            // Once the folder has loaded (the chooser holds back an earlier answer).
            g_timeout_add(
                300,
                [](gpointer p) -> gboolean {
                    gtk_dialog_response(GTK_DIALOG(p), GTK_RESPONSE_ACCEPT);
                    return G_SOURCE_REMOVE;
                },
                panel);
        });
        std::string headline;
        uitest::AnswerAlert(&headline, c.answer);
        bool ok = LFile::BrowseSaveFilePathOverwrite(
            nullptr, path, "Spara", dir, c.filter->c_str(), "pdf");
        EXPECT_EQ(ok, c.stored) << c.typed;
        EXPECT_EQ(headline, c.headline) << c.typed;
        if (c.stored)
            EXPECT_EQ(std::string(path), folder.Path() + "/" + c.typed);
        else
            EXPECT_STREQ(path, "");
    }
}

namespace {

// Accepts the name in the save chooser once its folder has loaded, as its save button does.
void AcceptName(const std::string& name)
{
    static std::string typed;
    typed = name;
    uitest::WhenPanelUp([](GtkWidget* panel) {
        if (!typed.empty())
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(panel), typed.c_str());
        g_timeout_add(
            300,
            [](gpointer p) -> gboolean {
                GtkWidget* save
                    = gtk_dialog_get_widget_for_response(GTK_DIALOG(p), GTK_RESPONSE_ACCEPT);
                gtk_button_clicked(GTK_BUTTON(save));
                return G_SOURCE_REMOVE;
            },
            panel);
    });
}

// The chooser's question before a file is replaced, once it shows: its text kept, answered; a
// chooser still up after that is cancelled.
void AnswerReplaceQuestion(std::string* text, int response)
{
    struct Answer {
        std::string* text;
        int response;
    };
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* a = static_cast<Answer*>(data);
            GtkWidget* question = nullptr;
            GList* windows = gtk_window_list_toplevels();
            for (GList* w = windows; w; w = w->next)
                if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))
                    && w->data != LUiCurrentAlertWidget())
                    question = GTK_WIDGET(w->data);
            g_list_free(windows);
            if (!question)
                return G_SOURCE_CONTINUE;
            gchar* t = nullptr;
            g_object_get(question, "text", &t, nullptr);
            *a->text = t ? t : "";
            g_free(t);
            gtk_dialog_response(GTK_DIALOG(question), a->response);
            delete a;
            // Only the chooser that asked is cancelled: a later test's panel is left alone.
            auto* asked = static_cast<GtkWidget*>(LUiCurrentPanel());
            if (asked)
                g_object_ref(asked);
            g_timeout_add(
                300,
                [](gpointer data) -> gboolean {
                    auto* panel = static_cast<GtkWidget*>(data);
                    if (panel && panel == LUiCurrentPanel() && gtk_widget_get_mapped(panel))
                        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_CANCEL);
                    if (panel)
                        g_object_unref(panel);
                    return G_SOURCE_REMOVE;
                },
                asked);
            return G_SOURCE_REMOVE;
        },
        new Answer { text, response });
}

// While it lives, every alert that shows is answered "Avbryt" and its headline kept.
class AlertsRefused {
public:
    AlertsRefused()
    {
        fSource = g_timeout_add(
            50,
            [](gpointer data) -> gboolean {
                auto* self = static_cast<AlertsRefused*>(data);
                auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!alert || !gtk_widget_get_mapped(alert)
                    || g_object_get_data(G_OBJECT(alert), "vt-refused"))
                    return G_SOURCE_CONTINUE;
                g_object_set_data(G_OBJECT(alert), "vt-refused", GINT_TO_POINTER(1));
                gchar* text = nullptr;
                g_object_get(alert, "text", &text, nullptr);
                self->headlines.push_back(text ? text : "");
                g_free(text);
                if (GtkWidget* b = uitest::FindButton(alert, "Avbryt"))
                    gtk_button_clicked(GTK_BUTTON(b));
                else
                    gtk_dialog_response(GTK_DIALOG(alert), GTK_RESPONSE_DELETE_EVENT);
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    ~AlertsRefused() { g_source_remove(fSource); }
    AlertsRefused(const AlertsRefused&) = delete;
    AlertsRefused& operator=(const AlertsRefused&) = delete;
    std::vector<std::string> headlines;

private:
    guint fSource = 0;
};

} // namespace

// A name without an extension takes the extension of the type chosen in the list: the proposed
// name accepted as it stands is saved under it, a typed name too, under whichever type is
// chosen; an extension of another type offered is kept; and a file under the name with the
// extension is not replaced without the chooser's question.
TEST_F(FilePanelTest, NamesWithoutExtensionTakeTheChosenTypes)
{
    const std::string images = Filter({ "Bärbar nätverksgrafik (*.png)", "*.png",
        "JPEG-bild (*.jpg;*.jpeg)", "*.jpg;*.jpeg", "Alla filer", "*.*" });
    std::string dir = folder.Path();
    // No question about a missing extension is asked.
    AlertsRefused alerts;

    // The proposed name, accepted.
    std::string path = "/projekt/Namnlöst.vtproj";
    AcceptName("");
    ASSERT_TRUE(LFile::BrowseSaveFilePathOverwrite(
        nullptr, path, "Exportera till bild", dir, images.c_str(), ""));
    EXPECT_EQ(path, folder.Path() + "/Namnlöst.png");

    // Another type chosen; a name in a folder typed.
    ASSERT_EQ(g_mkdir_with_parents((folder.Path() + "/under").c_str(), 0755), 0);
    uitest::WhenPanelUp([](GtkWidget* panel) {
        GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(panel));
        gtk_file_chooser_set_filter(
            GTK_FILE_CHOOSER(panel), GTK_FILE_FILTER(g_slist_nth_data(filters, 1)));
        g_slist_free(filters);
    });
    AcceptName("under/skiva");
    ASSERT_TRUE(LFile::BrowseSaveFilePathOverwrite(
        nullptr, path, "Exportera till bild", dir, images.c_str(), ""));
    EXPECT_EQ(path, folder.Path() + "/under/skiva.jpg");

    // An extension of another type offered stays; every file: no extension is added.
    dir = folder.Path();
    AcceptName("bild.jpeg");
    ASSERT_TRUE(LFile::BrowseSaveFilePathOverwrite(
        nullptr, path, "Exportera till bild", dir, images.c_str(), ""));
    EXPECT_EQ(path, folder.Path() + "/bild.jpeg");
    uitest::WhenPanelUp([](GtkWidget* panel) {
        GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(panel));
        gtk_file_chooser_set_filter(
            GTK_FILE_CHOOSER(panel), GTK_FILE_FILTER(g_slist_nth_data(filters, 2)));
        g_slist_free(filters);
    });
    AcceptName("naken");
    dir = folder.Path();
    ASSERT_TRUE(LFile::BrowseSaveFilePathOverwrite(
        nullptr, path, "Exportera till bild", dir, images.c_str(), ""));
    EXPECT_EQ(path, folder.Path() + "/naken");

    // The PDF panel: no question about a missing extension; a file under the name with the
    // extension is asked about before it is replaced, and kept when told so.
    char pdfPath[260] = "";
    char where[260];
    std::strcpy(where, folder.Path().c_str());

    std::ofstream(folder.Path() + "/utskrift.pdf") << "kvar";
    for (int response : { int(GTK_RESPONSE_CANCEL), int(GTK_RESPONSE_ACCEPT) }) {
        std::string question;
        pdfPath[0] = 0;
        AcceptName("utskrift");
        AnswerReplaceQuestion(&question, response);
        const bool chosen = LFile::BrowseSaveFilePathOverwrite(nullptr, pdfPath, "Spara som PDF",
            where, Filter({ "PDF-fil", "*.pdf" }).c_str(), "pdf");
        EXPECT_NE(question.find("utskrift.pdf"), std::string::npos) << question;
        EXPECT_EQ(chosen, response == GTK_RESPONSE_ACCEPT);
        EXPECT_EQ(std::string(pdfPath), chosen ? folder.Path() + "/utskrift.pdf" : "");
    }
    EXPECT_TRUE(alerts.headlines.empty()) << alerts.headlines.front();
}

// ------------------------------------------------------------------------------------------------
// Names that are not UTF-8 (Latin-1 here, legal on Linux)

namespace {

// While it lives, every message the chooser itself shows over a panel (GTK's own, as "Invalid
// file name") is closed and its text kept.
class ChooserMessages {
public:
    ChooserMessages()
    {
        fSource = g_timeout_add(
            20,
            [](gpointer data) -> gboolean {
                auto* self = static_cast<ChooserMessages*>(data);
                GList* windows = gtk_window_list_toplevels();
                for (GList* w = windows; w; w = w->next) {
                    if (!GTK_IS_MESSAGE_DIALOG(w->data) || w->data == LUiCurrentAlertWidget()
                        || !gtk_widget_get_mapped(GTK_WIDGET(w->data)))
                        continue;
                    gchar* text = nullptr;
                    g_object_get(w->data, "text", &text, nullptr);
                    self->texts.push_back(text ? text : "");
                    g_free(text);
                    gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_DELETE_EVENT);
                }
                g_list_free(windows);
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    ~ChooserMessages() { g_source_remove(fSource); }
    ChooserMessages(const ChooserMessages&) = delete;
    ChooserMessages& operator=(const ChooserMessages&) = delete;
    std::vector<std::string> texts;

private:
    guint fSource = 0;
};

// The save panel's name field completed as GTK completes it by itself when its folder has loaded
// while the field has the focus (once the field's list of matches has been filled).
void CompleteName(GtkWidget* panel)
{
    GtkEntry* field = nullptr;
    std::function<void(GtkWidget*)> find = [&](GtkWidget* w) {
        if (GTK_IS_ENTRY(w) && gtk_entry_get_completion(GTK_ENTRY(w)) && gtk_widget_is_visible(w))
            field = field ? field : GTK_ENTRY(w);
        else if (GTK_IS_CONTAINER(w))
            gtk_container_forall(
                GTK_CONTAINER(w),
                [](GtkWidget* child, gpointer f) {
                    (*static_cast<std::function<void(GtkWidget*)>*>(f))(child);
                },
                &find);
    };
    find(panel);
    ASSERT_TRUE(field);
    GtkEntryCompletion* completion = gtk_entry_get_completion(field);
    gtk_widget_grab_focus(GTK_WIDGET(field));
    const gint64 end = g_get_monotonic_time() + 3 * G_USEC_PER_SEC;
    auto matches = [&] {
        GtkTreeModel* m = gtk_entry_completion_get_model(completion);
        return m ? gtk_tree_model_iter_n_children(m, nullptr) : 0;
    };
    while (matches() == 0 && g_get_monotonic_time() < end)
        uitest::Pump(20);
    gtk_entry_completion_complete(completion);
    gtk_entry_completion_insert_prefix(completion);
}

// The panel's answer "accept", again until the panel takes it (it holds back an answer while it
// looks a name up, and refuses a name it cannot use); after 5 s it is cancelled.
void AcceptUntilGone(GtkWidget* panel)
{
    const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    g_object_ref(panel);
    gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
    g_timeout_add(
        100,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<std::pair<GtkWidget*, gint64>*>(data);
            if (!gtk_widget_get_mapped(p->first) || LUiCurrentPanel() != p->first) {
                g_object_unref(p->first);
                delete p;
                return G_SOURCE_REMOVE;
            }
            gtk_dialog_response(GTK_DIALOG(p->first),
                g_get_monotonic_time() < p->second ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
            return G_SOURCE_CONTINUE;
        },
        new std::pair<GtkWidget*, gint64>(panel, deadline));
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// The open panels list files whose names are not UTF-8 under their types and answer their real
// paths, also for the name the location field completes them to; the save panels propose such a
// name with its bad bytes replaced, as the window's caption shows it, without GTK's error, and
// save under the name accepted, whole.
TEST_F(FilePanelTest, NamesNotUtf8AreListedOpenedAndProposedWhole)
{
    const std::string far = folder / "f\xe5r.vtproj", oppna = folder / "\xf6ppna.vtproj",
                      ete = folder / "\xe9t\xe9.jpg";
    for (const std::string& path : { far, oppna, ete })
        std::ofstream(path) << "x";
    const std::string projects = Filter({ "Vorantel-projekt (*.vtproj;*.vtx)", "*.vtproj;*.vtx" });
    const std::string pictures = Filter({ "Alla bilder", "*.png;*.jpg;*.jpeg" });
    ChooserMessages messages;
    // A question about the extension (of a name the chooser completed) is refused.
    AlertsRefused alerts;

    // "Läs in projekt": both projects listed, the one chosen in the list answered whole.
    std::string dir = folder.Path(), path;
    std::vector<std::string> listed;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        listed = uitest::WaitListedNames(panel, 2);
        uitest::SavePanelShot(panel, "screenshots/file_panel/latin1-projects.png");
        uitest::AcceptFile(panel, far);
    });
    ASSERT_TRUE(LFile::BrowseReadFilePath(
        nullptr, path, "Läs in projekt", dir, projects.c_str(), ".vtproj", "Ladda upp"));
    EXPECT_EQ(Sorted(listed), Sorted({ uitest::ShownName(far), uitest::ShownName(oppna) }));
    EXPECT_EQ(path, far);

    // "Välj bilder": the picture listed; the name the location field completes it to (the one
    // shown) answers the picture itself.
    LStringListTemplate<char> paths;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        listed = uitest::WaitListedNames(panel, 1);
        uitest::SavePanelShot(panel, "screenshots/file_panel/latin1-pictures.png");
        // What the location field completes the picture's name to.
        GtkWidget* chooser = uitest::FindWidget(panel, GTK_TYPE_FILE_CHOOSER_WIDGET);
        g_signal_emit_by_name(
            chooser, "location-popup", (dir + "/" + uitest::ShownName(ete)).c_str());
        AcceptUntilGone(panel);
    });
    ASSERT_TRUE(LFile::BrowseMultipleReadFiles(
        nullptr, paths, "Välj bilder", dir, pictures.c_str(), nullptr));
    EXPECT_EQ(listed, std::vector<std::string> { uitest::ShownName(ete) });
    EXPECT_EQ(List(paths), std::vector<std::string> { ete });

    // "Spara projekt" and "Exportera till bild" of the project: the name as the caption shows
    // it, kept and saved under.
    struct Case {
        const char* title;
        std::string filter;
        const char* extension;
        std::string proposed, saved;
    };
    for (const Case& c : { Case { "Spara projekt", Filter({ "Vorantel-projekt", "*.vtproj" }),
                               "vtproj", "f\uFFFDr.vtproj", folder / "f\uFFFDr.vtproj" },
             Case { "Exportera till bild", pictures, "", "f\uFFFDr", folder / "f\uFFFDr.png" } }) {
        SCOPED_TRACE(c.title);
        std::string proposed, completed;
        uitest::WhenPanelUp([&](GtkWidget* panel) {
            proposed = CurrentName(panel);
            CompleteName(panel);
            completed = CurrentName(panel);
            uitest::SavePanelShot(panel,
                std::string("screenshots/file_panel/latin1-save-")
                    + (*c.extension ? "project" : "picture") + ".png");
            AcceptUntilGone(panel);
        });
        path = far;
        dir = folder.Path();
        EXPECT_TRUE(LFile::BrowseSaveFilePathOverwrite(
            nullptr, path, c.title, dir, c.filter.c_str(), c.extension));
        EXPECT_EQ(proposed, c.proposed);
        EXPECT_EQ(completed, c.proposed);
        EXPECT_EQ(path, c.saved);
    }
    EXPECT_EQ(messages.texts, std::vector<std::string> {});
    EXPECT_EQ(alerts.headlines, std::vector<std::string> {});
}
