// The buttons of the file choosers and alerts pressed from the keyboard, as a person does it:
// real key presses (xdotool) into the running dialog. Return answers at once, without the button
// being shown held down first, and the chooser still does what Return does in it (asks before a
// file is replaced, opens a typed folder).
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiFilePanel.h"
#include "support/PanelTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fstream>
#include <functional>
#include <string>

// Last: Xlib's macros would break the test framework's headers.
#include <gdk/gdkx.h>

namespace {

class DialogButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The chooser keeps its settings in memory, not in the user's settings store.
        setenv("GSETTINGS_BACKEND", "memory", 1);
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "xdotool missing";
    }
    TemporaryFolder folder;
};

// Presses keys in the toplevel of a widget, with the keyboard focus given to it first, once the
// window has settled (a chooser just up drops an Escape while it sets itself up).
void PressIn(GtkWidget* widget, const std::string& keys)
{
    uitest::Pump(300);
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
    const unsigned long xid = window ? gdk_x11_window_get_xid(window) : 0;
    uitest::Run("xdotool windowfocus --sync " + std::to_string(xid) + " key --clearmodifiers "
        + keys + " >/dev/null 2>&1");
}

// Follows a button: whether it was ever drawn held down (GTK's active state).
struct HeldDownWatch {
    bool held = false;
    void Watch(GtkWidget* button)
    {
        g_signal_connect(button, "state-flags-changed",
            G_CALLBACK(+[](GtkWidget* w, GtkStateFlags, gpointer self) {
                if (gtk_widget_get_state_flags(w) & GTK_STATE_FLAG_ACTIVE)
                    static_cast<HeldDownWatch*>(self)->held = true;
            }),
            this);
    }
};

// Runs act once a message dialog other than the chooser itself is up (GTK's question before a
// file is replaced).
void WhenQuestionUp(GtkWidget* panel, std::function<void(GtkWidget*)> act)
{
    struct Wait {
        GtkWidget* panel;
        std::function<void(GtkWidget*)> act;
    };
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* wait = static_cast<Wait*>(data);
            GList* windows = gtk_window_list_toplevels();
            GtkWidget* question = nullptr;
            for (GList* l = windows; l && !question; l = l->next)
                if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))
                    && gtk_window_get_transient_for(GTK_WINDOW(l->data)) == GTK_WINDOW(wait->panel))
                    question = GTK_WIDGET(l->data);
            g_list_free(windows);
            if (!question)
                return G_SOURCE_CONTINUE;
            wait->act(question);
            delete wait;
            return G_SOURCE_REMOVE;
        },
        new Wait { panel, std::move(act) });
}

LUiFilePanelRequest SaveRequest(const std::string& folder, const std::string& name)
{
    LUiFilePanelRequest request;
    request.kind = LUiFilePanelRequest::kSave;
    request.title = "Spara som PDF";
    request.startFolder = folder;
    request.proposedName = name;
    request.filters = { { "PDF-fil", { "pdf" } } };
    return request;
}

} // namespace

TEST_F(DialogButtonTest, ReturnInTheNameFieldAnswersWithoutHoldingTheButtonDown)
{
    HeldDownWatch watch;
    std::string acceptLabel;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        GtkWidget* accept
            = gtk_dialog_get_widget_for_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
        ASSERT_NE(accept, nullptr);
        acceptLabel = gtk_button_get_label(GTK_BUTTON(accept));
        EXPECT_TRUE(gtk_widget_has_default(accept)) << "Return belongs to the accept button";
        watch.Watch(accept);
        uitest::SavePanelShot(panel, "screenshots/dialog_button/save-panel.png");
        PressIn(panel, "Return");
    });
    LUiFilePanelResult result;
    ASSERT_TRUE(LUiRunFilePanel(SaveRequest(folder.Path(), "etikett.pdf"), result));
    ASSERT_EQ(result.paths.size(), 1u);
    EXPECT_EQ(result.paths[0], folder.Path() + "/etikett.pdf");
    EXPECT_EQ(acceptLabel, "_Spara");
    EXPECT_FALSE(watch.held) << "the button was shown held down before the answer";

    // Escape still cancels.
    uitest::WhenPanelUp([&](GtkWidget* panel) { PressIn(panel, "Escape"); });
    EXPECT_FALSE(LUiRunFilePanel(SaveRequest(folder.Path(), "etikett.pdf"), result));
    EXPECT_TRUE(result.paths.empty());
}

TEST_F(DialogButtonTest, ReturnOnAnExistingFileAsksFirstAndATypedFolderOpens)
{
    std::ofstream(folder.Path() + "/finns.pdf") << "gammal";
    ASSERT_EQ(g_mkdir_with_parents((folder.Path() + "/mapp").c_str(), 0755), 0);

    // The question before replacing: declined, the chooser stays and is then cancelled.
    bool asked = false;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        WhenQuestionUp(panel, [&asked, panel](GtkWidget* question) {
            asked = true;
            uitest::SavePanelShot(question, "screenshots/dialog_button/replace-question.png");
            PressIn(question, "Escape");
            // Back in the chooser, which is still up.
            g_timeout_add(
                200,
                [](gpointer p) -> gboolean {
                    PressIn(GTK_WIDGET(p), "Escape");
                    return G_SOURCE_REMOVE;
                },
                panel);
        });
        PressIn(panel, "Return");
    });
    LUiFilePanelResult result;
    EXPECT_FALSE(LUiRunFilePanel(SaveRequest(folder.Path(), "finns.pdf"), result));
    EXPECT_TRUE(asked) << "no question before the file was replaced";

    // A folder's name and Return opens the folder; a name and Return there answers.
    std::string shownFolder;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        PressIn(panel, "Return");
        g_timeout_add(
            300,
            [](gpointer p) -> gboolean {
                gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(p), "ny.pdf");
                PressIn(GTK_WIDGET(p), "Return");
                return G_SOURCE_REMOVE;
            },
            panel);
    });
    ASSERT_TRUE(LUiRunFilePanel(SaveRequest(folder.Path(), "mapp"), result));
    ASSERT_EQ(result.paths.size(), 1u);
    EXPECT_EQ(result.paths[0], folder.Path() + "/mapp/ny.pdf");
}

TEST_F(DialogButtonTest, TheChooserLeavesTheScreenAtOnceAndGoesAfterTheWork)
{
    GtkWidget* chooser = nullptr;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        chooser = panel;
        PressIn(panel, "Return");
    });
    bool destroyed = false;
    LUiFilePanelResult result;
    {
        // The work the file was chosen for runs in a modal window.
        LModalCounterScope work;
        ASSERT_TRUE(LUiRunFilePanel(SaveRequest(folder.Path(), "etikett.pdf"), result));
        ASSERT_NE(chooser, nullptr);
        g_object_weak_ref(
            G_OBJECT(chooser), [](gpointer flag, GObject*) { *static_cast<bool*>(flag) = true; },
            &destroyed);
        EXPECT_FALSE(gtk_widget_get_mapped(chooser)) << "the chooser stays on the screen";
        uitest::Pump(400);
        EXPECT_FALSE(destroyed) << "destroyed while the work runs";
    }
    EXPECT_TRUE(uitest::PumpUntil([&] { return destroyed; }, 3000)) << "the chooser is kept";
}

TEST_F(DialogButtonTest, ReturnAndMnemonicsAnswerAnAlertAtOnce)
{
    struct Case {
        const char* keys;
        int answer;
    };
    for (const Case& c : { Case { "Return", 0 }, Case { "alt+a", 1 }, Case { "Escape", -1 } }) {
        LUiAlert alert;
        alert.style = 0;
        alert.headline = "Filen finns redan";
        alert.message = "Vill du ersätta den?";
        alert.buttons = { "_Ersätt", "_Avbryt" };
        static HeldDownWatch watch;
        watch.held = false;
        static std::string keys;
        keys = c.keys;
        g_timeout_add(
            50,
            [](gpointer) -> gboolean {
                auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!dialog || !gtk_widget_get_mapped(dialog))
                    return G_SOURCE_CONTINUE;
                for (int response : { 0, 1 })
                    if (GtkWidget* b
                        = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response))
                        watch.Watch(b);
                PressIn(dialog, keys);
                return G_SOURCE_REMOVE;
            },
            nullptr);
        EXPECT_EQ(LUiRunAlert(alert), c.answer) << c.keys;
        EXPECT_FALSE(watch.held) << c.keys;
    }
}
