// The main window never waits on another program for its enabling, and what arrives while it
// waits for one (a paste's answer) runs after the wait: requests of a second start, quitting.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTProjectFile.h"
#include "app/lxa/mac/MainDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LClipboard.h"
#include "lfw/mac/LDragDrop.h"
#include "lfw/mac/LMenu.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiClipboard.h"
#include "support/PrivateHomes.h"
#include "support/ProjectTestSupport.h"
#include "support/StoppedClipboardOwner.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace {

constexpr int kPaste = LFourCC("past");

struct AlertSeen {
    std::string title, message;
};

std::vector<AlertSeen> gAlerts;

// The alert that shows now, mapped and not answered yet; null when none does.
GtkWidget* ShownAlert()
{
    auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
    if (!dialog || !gtk_widget_get_mapped(dialog)
        || g_object_get_data(G_OBJECT(dialog), "answered"))
        return nullptr;
    return dialog;
}

// Answers the next alerts, in turn, recording what they said: each with the button given
// (1-based) when it has the title expected, else closed as Escape would (so that an alert out of
// turn fails the test instead of starting what its first button does). An alert that follows the
// last at once is told from it.
void Answer(std::vector<std::pair<std::string, int>> answers)
{
    if (answers.empty())
        return;
    uitest::When([] { return ShownAlert() != nullptr; },
        [answers]() mutable {
            GtkWidget* dialog = ShownAlert();
            if (!dialog)
                return;
            gchar* text = nullptr;
            g_object_get(dialog, "text", &text, nullptr);
            gAlerts.push_back({ text ? text : "", LUiAlertMessage(dialog) });
            g_free(text);
            g_object_set_data(G_OBJECT(dialog), "answered", GINT_TO_POINTER(1));
            const auto [title, button] = answers.front();
            answers.erase(answers.begin());
            Answer(answers);
            gtk_dialog_response(GTK_DIALOG(dialog),
                gAlerts.back().title == title ? button - 1 : GTK_RESPONSE_DELETE_EVENT);
        });
}

class MainDialogWaitsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!StoppedClipboardOwner::Available())
            GTEST_SKIP() << "no xclip";
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        gAlerts.clear();
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        w = std::make_unique<MainDialog>();
        const char* argv[] = { "vorantel" };
        ASSERT_TRUE(w->MainWindowInit(1, argv));
        ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
        uitest::Pump(50);
    }
    void TearDown() override
    {
        if (w && !w->IsDestroyed())
            w->MainWindowDestroy();
        w.reset();
        LMainMenu::SetMainMenu(nullptr);
    }
    // Hands the requests to the window as a second start does.
    int Hand(std::vector<const char*> args)
    {
        char buffer[kLZORAPIReplySize] = "";
        return w->EvAPICommand(int(args.size()), args.data(), buffer);
    }
    // The same, then waits until they have been carried out.
    int Api(std::vector<const char*> args)
    {
        const int r = Hand(std::move(args));
        EXPECT_TRUE(uitest::PumpUntil([&] { return !w->HasDeferredWork(); }, 10000));
        return r;
    }
    // A new CD project with one text overlay, changed since it was made.
    void ModifiedProject()
    {
        ASSERT_EQ(Api({ "-new", "cd" }), 0);
        ASSERT_NE(w->GetProject(), nullptr);
        std::string text = folder.Path() + "/t.txt";
        FILE* f = std::fopen(text.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("Skiva", f);
        std::fclose(f);
        ASSERT_EQ(Api({ "-addtext", text.c_str() }), 0);
        w->GetProject()->SetSaveState(VTProjectSaveStateModified);
        uitest::Pump(100);
    }
    PrivateHomes homes;
    TemporaryFolder runtime;
    TemporaryFolder folder;
    std::unique_ptr<MainDialog> w;
};

} // namespace

TEST_F(MainDialogWaitsTest, EnablingAsksAStoppedClipboardOwnerNothing)
{
    ModifiedProject();
    StoppedClipboardOwner owner;
    ASSERT_TRUE(owner.Owning());
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    uitest::Pump(200);
    long long start = LRunLoop::NowMs();
    for (int i = 0; i < 50; ++i) {
        w->EnableControlsNow();
        w->EvMenuOpen();
    }
    EXPECT_LT(LRunLoop::NowMs() - start, 1000);
    // Nothing is known to paste.
    EXPECT_FALSE(w->ComputeEnableState().menu.at(kPaste));
    EXPECT_FALSE(w->ComputeEnableState().toolbar.at(kPaste));

    // Our own copy is known at once, and heard by the window.
    LClipboard copy(w->GetContentView());
    copy.CopyText("egen");
    EXPECT_TRUE(w->ComputeEnableState().menu.at(kPaste));
    EXPECT_FALSE(w->HasDeferredWork());
}

TEST_F(MainDialogWaitsTest, ASecondStartDuringAPasteWaitRunsAfterItAndCanBeAnswered)
{
    ModifiedProject();
    VTProject* before = w->GetProject();
    StoppedClipboardOwner owner;
    ASSERT_TRUE(owner.Owning());
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    uitest::Pump(100);

    // While the paste waits for the owner, a second start asks for a new DVD project.
    bool deferred = false, unchanged = false, insideWait = false;
    uitest::After(300, [&] {
        insideWait = LModalLoop::Busy();
        Hand({ "-new", "dvd" });
        deferred = w->HasDeferredWork();
        unchanged = w->GetProject() == before && gAlerts.empty();
    });
    // The paste's message, then the request's question: "Spara inte".
    Answer({ { "Klistra in", 1 }, { "Ändringar som inte sparats", 3 } });
    w->Command(kPaste, 0);
    // The message comes once the input of the wait has been handled.
    uitest::PumpUntil([] { return !gAlerts.empty(); }, 3000);
    EXPECT_TRUE(insideWait);
    EXPECT_TRUE(deferred);
    EXPECT_TRUE(unchanged);
    ASSERT_GE(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].title, "Klistra in");
    EXPECT_EQ(gAlerts[0].message,
        "Programmet som har lagt innehållet i Urklipp svarar inte. Försök igen senare.");
    // Once the wait is over the request runs: its question is asked and answered.
    // (The new project may take the old one's address: it is told by its layout.)
    const std::string dvd = VTLabelLayoutDataGenericDVDStandard().key;
    ASSERT_TRUE(uitest::PumpUntil(
        [&] { return w->GetProject() && w->GetProject()->GetLabelLayout()->key == dvd; }, 5000));
    ASSERT_EQ(gAlerts.size(), 2u);
    EXPECT_EQ(gAlerts[1].title, "Ändringar som inte sparats");
    EXPECT_TRUE(uitest::PumpUntil([&] { return !w->HasDeferredWork(); }, 3000));
}

TEST_F(MainDialogWaitsTest, AFileDroppedDuringAPasteWaitIsOpenedAfterIt)
{
    // A saved project to drop.
    auto saved = sample::MakeProject();
    VTProjectSave record;
    record.project = saved.get();
    std::string path = folder.Path() + "/skiva.vtproj";
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    ASSERT_EQ(Process(quiet, record), LProcessResultSuccess);
    ModifiedProject();
    StoppedClipboardOwner owner;
    ASSERT_TRUE(owner.Owning());
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    uitest::Pump(100);
    LUiDragInfo info;
    info.dataType = kLDragFileListType;
    const std::string uri = "file://" + path + "\r\n";
    info.data.assign(uri.begin(), uri.end());
    bool untouched = false;
    uitest::After(300, [&] {
        LDroppedFileData data { info, w->GetContentView() };
        w->EvDropFiles(data);
        // Posted, then kept: still nothing asked, nothing opened.
        uitest::After(200, [&] { untouched = gAlerts.empty() && w->HasDeferredWork(); });
    });
    Answer({ { "Klistra in", 1 }, { "Ändringar som inte sparats", 3 } });
    w->Command(kPaste, 0);
    // The message comes once the input of the wait has been handled.
    uitest::PumpUntil([] { return !gAlerts.empty(); }, 3000);
    EXPECT_TRUE(untouched);
    ASSERT_TRUE(uitest::PumpUntil(
        [&] {
            return std::string(gtk_window_get_title(w->GetNativeWindow()->Gtk()))
                == "Vorantel av ZOR Software - skiva.vtproj";
        },
        5000));
    ASSERT_EQ(gAlerts.size(), 2u);
    EXPECT_EQ(gAlerts[0].title, "Klistra in");
    EXPECT_EQ(gAlerts[1].title, "Ändringar som inte sparats");
}

TEST_F(MainDialogWaitsTest, QuittingDuringAPasteWaitComesAfterIt)
{
    ASSERT_EQ(Api({ "-new", "cd" }), 0);
    w->GetProject()->SetSaveState(VTProjectSaveStateSaved);
    StoppedClipboardOwner owner;
    ASSERT_TRUE(owner.Owning());
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    uitest::Pump(100);
    bool refused = false, alive = false;
    uitest::After(300, [&] {
        refused = !w->CmExit();
        alive = !w->IsDestroyed() && w->GetProject() != nullptr;
    });
    Answer({ { "Klistra in", 1 } });
    w->Command(kPaste, 0);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(alive);
    EXPECT_FALSE(w->IsDestroyed());
    // Then it quits: the project is saved, nothing is asked (the paste's message, which comes
    // after what the user did during the wait, may be left unshown by the quitting).
    EXPECT_TRUE(uitest::PumpUntil([&] { return w->IsDestroyed(); }, 3000));
    EXPECT_LE(gAlerts.size(), 1u);
    for (const auto& alert : gAlerts)
        EXPECT_EQ(alert.title, "Klistra in");
}
