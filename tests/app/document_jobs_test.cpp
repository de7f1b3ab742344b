// The document jobs under the progress dialog on real files: project load and save, PDF export
// and label layout load; a bad file shows its error and fails.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTExport.h"
#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/LProgressDialog.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

class DocumentJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
    }
    TemporaryFolder m_folder;
};

// A progress dialog that remembers how far its bar went and the titles it ran under.
template <class T> struct Watched : LProcessDialog<T> {
    double highest = 0;
    std::string title;
    Watched(const char* t, T& data)
        : LProcessDialog<T>(t, data)
    {
        this->result = LProcessResultError;
    }
    void SetProgress(double f) override
    {
        highest = std::max(highest, f);
        LProcessDialog<T>::SetProgress(f);
    }
    bool MainFunction() override
    {
        if (LNativeWindow* w = this->GetNativeWindow())
            title = gtk_window_get_title(w->Gtk()) ? gtk_window_get_title(w->Gtk()) : "";
        return LProcessDialog<T>::MainFunction();
    }
};

// Answers the next message box with its first button; the headline it had.
void AnswerNextAlert(std::string* headline)
{
    g_timeout_add(
        20,
        +[](gpointer data) -> gboolean {
            auto* d = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            if (!d || !gtk_widget_get_mapped(d))
                return G_SOURCE_CONTINUE;
            gchar* text = nullptr;
            g_object_get(d, "text", &text, nullptr);
            *static_cast<std::string*>(data) = text ? text : "";
            g_free(text);
            gtk_dialog_response(GTK_DIALOG(d), 0);
            return G_SOURCE_REMOVE;
        },
        headline);
}

} // namespace

TEST_F(DocumentJobs, ProjectLoadSaveAndExportRunUnderTheProgressDialog)
{
    VTProject project;
    VTProjectLoad load;
    load.project = &project;
    utf8strlcpy(load.path, VT_TEST_DATA "/vtproj/regression.vtproj", sizeof load.path);
    Watched<VTProjectLoad> loading("Laddar projekt", load);
    EXPECT_TRUE(loading.Open(nullptr));
    EXPECT_EQ(loading.result, LProcessResultSuccess);
    EXPECT_EQ(loading.title, "Laddar projekt");
    EXPECT_DOUBLE_EQ(loading.highest, 1.0);

    const std::string saved = m_folder / "kopia.vtproj";
    VTProjectSave save;
    save.project = &project;
    utf8strlcpy(save.path, saved.c_str(), sizeof save.path);
    Watched<VTProjectSave> saving("Spara projekt", save);
    EXPECT_TRUE(saving.Open(nullptr));
    EXPECT_EQ(saving.result, LProcessResultSuccess);
    EXPECT_DOUBLE_EQ(saving.highest, 1.0);
    EXPECT_GT(std::ifstream(saved, std::ios::binary | std::ios::ate).tellg(), 0);

    const std::string pdf = m_folder / "ut.pdf";
    VTExport exporting;
    exporting.targetPath = pdf.c_str();
    exporting.project = &project;
    exporting.page = project.GetLabelLayout()->pages.GetHead();
    Watched<VTExport> exportDialog("Spara till PDF", exporting);
    EXPECT_TRUE(exportDialog.Open(nullptr));
    EXPECT_EQ(exportDialog.result, LProcessResultSuccess);
    EXPECT_DOUBLE_EQ(exportDialog.highest, 1.0);
    std::ifstream in(pdf, std::ios::binary);
    char head[5] = {};
    in.read(head, 4);
    EXPECT_STREQ(head, "%PDF");
}

TEST_F(DocumentJobs, LabelLayoutLoadAndABadFile)
{
    VTLabelLayout layout;
    VTLabelLayoutLoad load;
    load.layout = &layout;
    utf8strlcpy(load.path, VT_TEST_DATA "/vtlayout/disc_tray.vtlayout", sizeof load.path);
    Watched<VTLabelLayoutLoad> loading("Läsa in etikettlayout", load);
    EXPECT_TRUE(loading.Open(nullptr));
    EXPECT_EQ(loading.result, LProcessResultSuccess);
    EXPECT_DOUBLE_EQ(loading.highest, 1.0);
    EXPECT_EQ(loading.title, "Läsa in etikettlayout");

    const std::string bad = m_folder / "trasig.vtproj";
    std::ofstream(bad, std::ios::binary) << "inte ett projekt alls";
    VTProject project;
    VTProjectLoad badLoad;
    badLoad.project = &project;
    utf8strlcpy(badLoad.path, bad.c_str(), sizeof badLoad.path);
    std::string headline;
    AnswerNextAlert(&headline);
    Watched<VTProjectLoad> failing("Laddar projekt", badLoad);
    EXPECT_TRUE(failing.Open(nullptr));
    EXPECT_EQ(failing.result, LProcessResultError);
    EXPECT_EQ(headline, "Laddar projekt");
    EXPECT_DOUBLE_EQ(failing.highest, 0.0);
}
