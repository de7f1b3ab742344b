// The main window as its commands meet it: its menus, the requests of the command line and of a
// second start, dropped files, the enable rules, opening and saving, and the autosave offer.
#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectFile.h"
#include "app/VTRequests.h"
#include "app/lxa/mac/MainDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMenu.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiMenu.h"
#include "support/E2eSession.h"
#include "support/PrivateHomes.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sample;

namespace {

struct AlertSeen {
    std::string title, message;
    std::vector<std::string> buttons;
};

std::vector<AlertSeen> gAlerts;

bool AlertMapped()
{
    auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
    return dialog && gtk_widget_get_mapped(dialog);
}

// Answers the next alerts, in turn, with the buttons given (1-based), recording what they said.
// Each step holds only what is left to answer (no step holds itself).
void Answer(std::vector<int> answers)
{
    if (answers.empty())
        return;
    uitest::When(AlertMapped, [answers]() mutable {
        auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
        if (!dialog)
            return;
        AlertSeen seen;
        gchar* text = nullptr;
        g_object_get(dialog, "text", &text, nullptr);
        seen.title = text ? text : "";
        seen.message = LUiAlertMessage(dialog);
        g_free(text);
        for (int r = 0; r < 3; ++r)
            if (GtkWidget* b = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), r))
                seen.buttons.push_back(gtk_button_get_label(GTK_BUTTON(b)));
        gAlerts.push_back(seen);
        int button = answers.front();
        answers.erase(answers.begin());
        gtk_dialog_response(GTK_DIALOG(dialog), button - 1);
        uitest::When([] { return !AlertMapped(); }, [answers] { Answer(answers); });
    });
}

// The answer a waiting second start receives.
struct RecordedReply : LZORAPIReply {
    void SendQueued(const char*) override { }
    void SendWarning(const char* t) override { warnings.push_back(t); }
    void SendFinished(int r, const char* t) override
    {
        ++finished;
        result = r;
        text = t;
    }
    std::vector<std::string> warnings;
    int finished = 0;
    int result = 99;
    std::string text;
};

std::vector<std::string> Titles(LUiMenu* menu)
{
    std::vector<std::string> out;
    for (const auto& item : menu->Items())
        out.push_back(item->IsSeparator() ? "-" : item->Title());
    return out;
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
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
    std::string Caption() const { return gtk_window_get_title(w->GetNativeWindow()->Gtk()); }
    // A saved project file of the sample project (CD layout) under the name.
    std::string WriteProject(const std::string& name)
    {
        auto project = MakeProject();
        VTProjectSave record;
        record.project = project.get();
        std::string path = folder.Path() + "/" + name;
        std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
        LProcessInterfaceVoid quiet;
        EXPECT_EQ(Process(quiet, record), LProcessResultSuccess);
        return path;
    }
    std::string WriteFile(const std::string& name, const std::string& bytes)
    {
        std::string path = folder.Path() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Hands the requests to the window as a later start does and waits for their outcome,
    // and for what the window shows of it: the result, and its text in *reply. A request that
    // waits for the user answers 0 at once.
    int Api(std::vector<const char*> args, std::string* reply = nullptr)
    {
        auto answer = std::make_shared<RecordedReply>();
        char buffer[kLZORAPIReplySize] = "";
        int r;
        {
            LZORAPIReplyScope current(answer);
            r = w->EvAPICommand(int(args.size()), args.data(), buffer);
        }
        std::string text = buffer;
        if (answer->IsAnsweredLater()) {
            EXPECT_TRUE(uitest::PumpUntil(
                [&] { return answer->finished > 0 || answer->IsQueued(); }, 20000));
            if (!answer->IsQueued()) {
                EXPECT_TRUE(uitest::PumpUntil([&] { return !w->HasDeferredWork(); }, 20000));
                r = answer->result;
                text = answer->text;
            }
        }
        if (reply)
            *reply = text;
        return r;
    }
    PrivateHomes homes;
    TemporaryFolder runtime;
    TemporaryFolder folder;
    std::unique_ptr<MainDialog> w;
};

} // namespace

TEST_F(MainDialogTest, StartsWithItsMenusAndCaptionAndNoProject)
{
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software");
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Titles(bar),
        (std::vector<std::string> {
            "Vorantel", "Arkiv", "Redigera", "Overlay", "Fönstret", "Hjälp" }));
    EXPECT_EQ(Titles(LMainMenu::theMainMenu.GetMenuByCaption("Arkiv")),
        (std::vector<std::string> { "Nya...", "Öppna...", "Spara", "Spara som...", "Stäng", "-",
            "Etikettlayout...", "Skriva ut...", "-", "Starta...", "-", "Senaste filer" }));
    EXPECT_EQ(Titles(LMainMenu::theMainMenu.GetMenuByCaption("Overlay")),
        (std::vector<std::string> { "Lägg till text...", "Lägg till bilder...",
            "Lägg till Clipart...", "Lägg till ram...", "Lägga till information om ljud-CD", "-",
            "Rotera åt vänster", "Rotera åt höger", "-", "Höja", "Lägre" }));
    EXPECT_EQ(w->GetProject(), nullptr);
    EXPECT_EQ(MainDialog::kMenuItemCount, 53u);
    EXPECT_EQ(MainDialog::kKeyMapCount, 17u);
}

TEST_F(MainDialogTest, EnableRulesFollowTheProjectAndTheUndoStack)
{
    MainDialog::EnableState s = w->ComputeEnableState();
    // No project: the menu knows close and layout selection, the toolbar the audio-CD button.
    EXPECT_FALSE(s.menu.at(1009));
    EXPECT_FALSE(s.menu.at(1010));
    EXPECT_EQ(s.menu.count(1024), 0u);
    EXPECT_EQ(s.toolbar.count(1009), 0u);
    EXPECT_EQ(s.toolbar.count(1010), 0u);
    EXPECT_FALSE(s.toolbar.at(1024));
    EXPECT_FALSE(s.toolbar.at(1007));
    // Undo and redo: the caption's by the stack alone (nothing to undo or redo), the others
    // need a project too.
    EXPECT_FALSE(s.caption.at(9401));
    EXPECT_FALSE(s.caption.at(9402));
    EXPECT_FALSE(s.menu.at(9401));

    ASSERT_EQ(Api({ "-new", "cd" }), 0);
    ASSERT_NE(w->GetProject(), nullptr);
    s = w->ComputeEnableState();
    for (int id : { 1008, 1009, 1010, 1011, 1012, 1045, 1046, 1020, 1021, 1027 })
        EXPECT_TRUE(s.menu.at(id)) << id;
    EXPECT_TRUE(s.toolbar.at(1024));
    EXPECT_TRUE(s.toolbar.at(1007)); // new and unsaved
    for (int id : { LFourCC("cut "), LFourCC("copy"), 1019, 1028, 1029, 1030, 1031 })
        EXPECT_FALSE(s.menu.at(id)) << id;
}

TEST_F(MainDialogTest, RaiseAndLowerNeverPassABackgroundImage)
{
    VTProjectTemplate design(VTTemplateFormatDisc);
    auto* background = Picture(new VTOverlayImageBackground, design, 8, 1, 0, 0);
    VTOverlayText* a = Text(design, "a", 0, 0);
    VTOverlayText* b = Text(design, "b", 0, 0);
    struct Row {
        const VTOverlay* selected;
        bool raise, lower;
    };
    for (const Row& row : {
             Row { background, false, false },
             Row { a, true, false },
             Row { b, false, true },
             Row { nullptr, false, false },
         }) {
        EXPECT_EQ(MainDialog::CanRaise(design, row.selected), row.raise);
        EXPECT_EQ(MainDialog::CanLower(design, row.selected), row.lower);
    }
    // Without a background the first overlay can rise and the second go down.
    VTProjectTemplate plain(VTTemplateFormatDisc);
    VTOverlayText* c = Text(plain, "c", 0, 0);
    VTOverlayText* d = Text(plain, "d", 0, 0);
    EXPECT_TRUE(MainDialog::CanRaise(plain, c));
    EXPECT_FALSE(MainDialog::CanLower(plain, c));
    EXPECT_TRUE(MainDialog::CanLower(plain, d));
    // An overlay of another design is neither.
    EXPECT_FALSE(MainDialog::CanRaise(plain, a));
}

TEST_F(MainDialogTest, RequestsOfASecondStart)
{
    std::string reply;
    // A trailing key without its value is refused, and nothing of the request is done.
    Answer({ 1 });
    EXPECT_EQ(Api({ "-NEW", "DVD", "-addtext" }, &reply), -1);
    EXPECT_EQ(reply, "Begäran ”-addtext” saknar sitt värde, en textfil.");
    EXPECT_EQ(w->GetProject(), nullptr);
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].message, reply);
    gAlerts.clear();
    // Key and value in capitals.
    EXPECT_EQ(Api({ "-NEW", "DVD" }, &reply), 0);
    EXPECT_EQ(reply, "OK");
    ASSERT_NE(w->GetProject(), nullptr);
    EXPECT_STREQ(w->GetProject()->GetLabelLayout()->key, VTLabelLayoutDataGenericDVDStandard().key);
    EXPECT_FALSE(w->IsWelcomeAllowed());
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software - Namnlöst.vtproj");

    VTProject* before = w->GetProject();
    // Told in the window too.
    Answer({ 1 });
    EXPECT_EQ(Api({ "-new", "floppy" }, &reply), -1);
    EXPECT_EQ(reply, "Det gick inte att skapa ett nytt projekt av typ floppy");
    EXPECT_EQ(w->GetProject(), before);
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].message, "Det gick inte att skapa ett nytt projekt av typ floppy");
    gAlerts.clear();

    // A truncated project: the job's error, the open project stays.
    std::string good = WriteProject("skiva.vtproj");
    std::string bytes;
    {
        std::ifstream in(good, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string broken = WriteFile("trasig.vtproj", bytes.substr(0, bytes.size() / 2));
    // The unsaved new project is not asked about: it is untouched (state 0). The job's error
    // is the refusal's reason, shown once.
    Answer({ 1 });
    EXPECT_EQ(Api({ "-open", broken.c_str() }, &reply), -1);
    EXPECT_EQ(reply,
        "Det gick inte att läsa in projektfilen ”trasig.vtproj”: Projektfilen är skadad eller "
        "ofullständig och kan inte öppnas.");
    EXPECT_EQ(w->GetProject(), before);
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].title, "Begäran kunde inte utföras");
    EXPECT_EQ(gAlerts[0].message, reply);

    // One argument is a project file; open then add text.
    std::string text = WriteFile("t.txt", "Skivetikett");
    EXPECT_EQ(Api({ good.c_str() }, &reply), 0);
    EXPECT_NE(w->GetProject(), before);
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software - skiva.vtproj");
    EXPECT_EQ(Api({ "-open", good.c_str(), "-addtext", text.c_str() }, &reply), 0);
    EXPECT_EQ(reply, "OK");
}

TEST_F(MainDialogTest, RequestsWaitWhileAModalRuns)
{
    auto* other = new LNativeWindow(LUiRect { 0, 0, 100, 80 }, kLUiWindowTitled, false);
    uintptr_t session = LModalLoop::BeginSession(other);
    ASSERT_NE(session, 0u);
    EXPECT_EQ(Api({ "-new", "cd" }), 0);
    EXPECT_EQ(w->GetProject(), nullptr);
    EXPECT_TRUE(w->HasDeferredWork());
    uitest::Pump(300);
    EXPECT_EQ(w->GetProject(), nullptr);
    LModalLoop::EndSession(session);
    other->Close();
    other->Release();
    EXPECT_TRUE(uitest::PumpUntil([&] { return w->GetProject() != nullptr; }, 2000));
}

TEST_F(MainDialogTest, TextFilesForOverlaysAreCheckedBeforeTheyAreRead)
{
    LStringLongTemplate<char> text;
    EXPECT_TRUE(MainDialog::LoadOverlayText(WriteFile("ok.txt", "Hej på dig\n").c_str(), text));
    EXPECT_STREQ(text.GetString(), "Hej på dig\n");
    // UTF-16 with its byte-order mark.
    EXPECT_TRUE(MainDialog::LoadOverlayText(
        WriteFile("utf16.txt", std::string("\xFF\xFEH\0i\0", 6)).c_str(), text));
    EXPECT_STREQ(text.GetString(), "Hi");
    EXPECT_FALSE(MainDialog::LoadOverlayText(WriteFile("empty.txt", "").c_str(), text));
    EXPECT_FALSE(MainDialog::LoadOverlayText(WriteFile("bad.txt", "a\xC3(b").c_str(), text));
    EXPECT_FALSE(MainDialog::LoadOverlayText(
        WriteFile("bin.txt", std::string("PK\3\4\0\0", 6)).c_str(), text));
    EXPECT_FALSE(MainDialog::LoadOverlayText(
        WriteFile("big.txt", std::string((1 << 20) + 1, 'a')).c_str(), text));
    EXPECT_FALSE(MainDialog::LoadOverlayText(folder.Path().c_str(), text));
    std::string fifo = folder.Path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Refused at once: a FIFO is never opened, so nothing blocks here.
    EXPECT_FALSE(MainDialog::LoadOverlayText(fifo.c_str(), text));
    EXPECT_FALSE(MainDialog::LoadOverlayText((folder.Path() + "/gone.txt").c_str(), text));

    // Each refusal has its reason; a NUL byte makes a binary file, in UTF-8 and in UTF-16.
    using R = MainDialog::TextFileRefusal;
    const struct {
        std::string name, bytes;
        R refusal;
    } cases[] = {
        { "nul.txt", std::string("fore\0efter", 10), R::kBinary },
        { "nul16.txt", std::string("\xFF\xFEH\0\0\0i\0", 8), R::kBinary },
        { "bin.txt", std::string("PK\3\4", 4), R::kBinary },
        { "bad.txt", "a\xC3(b", R::kNotUTF8 },
        { "big.txt", std::string((1 << 20) + 1, 'a'), R::kTooBig },
        { "empty.txt", "", R::kEmpty },
        { "ok.txt", "fore efter", R::kNone },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            MainDialog::CheckOverlayText(WriteFile(c.name, c.bytes).c_str(), text), c.refusal);
    }
    EXPECT_EQ(
        MainDialog::CheckOverlayText((folder.Path() + "/gone.txt").c_str(), text), R::kMissing);
    EXPECT_EQ(MainDialog::CheckOverlayText(fifo.c_str(), text), R::kUnreadable);
    EXPECT_EQ(MainDialog::TextFileRefusalText(R::kBinary, "/a/nul.txt"),
        "Filen ”nul.txt” är ingen textfil och lades inte till.");
    EXPECT_EQ(MainDialog::TextFileRefusalText(R::kTooBig, "/a/big.txt"),
        "Textfilen ”big.txt” är större än 1 MiB och lades inte till.");
    EXPECT_EQ(MainDialog::TextFileRefusalText(R::kNotUTF8, "bad.txt"),
        "Textfilen ”bad.txt” är inte giltig UTF-8-text och lades inte till.");
}

// What a request cannot do is told in the window (one alert naming the files) and in the reply:
// text files that are too big, not UTF-8 or binary, text and pictures with no project open, a
// picture that is not there. Nothing is added.
TEST_F(MainDialogTest, RefusedRequestsAreTold)
{
    const std::string text = WriteFile("t.txt", "Skivetikett");
    const std::string picture = std::string(VT_TEST_DATA) + "/images/base.png";
    std::string reply;
    Answer({ 1 });
    EXPECT_EQ(Api({ "-addtext", text.c_str(), "-addimage", picture.c_str() }, &reply), -1);
    EXPECT_EQ(reply,
        "Inget projekt är öppet, så texten i ”t.txt” lades inte till.\nInget projekt är öppet, "
        "så bilden ”base.png” lades inte till.");
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].title, "Begäran kunde inte utföras");
    EXPECT_EQ(gAlerts[0].message, reply);
    EXPECT_EQ(w->GetProject(), nullptr);

    ASSERT_EQ(Api({ "-new", "cd" }), 0);
    const size_t items = w->projectViewer.GetCurrentTemplate()->GetCount();
    gAlerts.clear();
    Answer({ 1 });
    EXPECT_EQ(Api({ "-addtext", WriteFile("nul.txt", std::string("fore\0efter", 10)).c_str(),
                      "-addtext", WriteFile("big.txt", std::string((1 << 20) + 1, 'a')).c_str(),
                      "-addtext", WriteFile("bad.txt", "a\xC3(b").c_str(), "-addimage",
                      (folder.Path() + "/saknas.png").c_str() },
                  &reply),
        -1);
    EXPECT_EQ(reply,
        "Filen ”nul.txt” är ingen textfil och lades inte till.\nTextfilen ”big.txt” är större "
        "än 1 MiB och lades inte till.\nTextfilen ”bad.txt” är inte giltig UTF-8-text och lades "
        "inte till.\nDet gick inte att hitta bilden ”saknas.png” eller så är den tom.");
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].message, reply);
    EXPECT_EQ(w->projectViewer.GetCurrentTemplate()->GetCount(), items);
    // An empty file is refused too, and the request is refused whole: nothing is added.
    gAlerts.clear();
    Answer({ 1 });
    EXPECT_EQ(
        Api({ "-addtext", text.c_str(), "-addtext", WriteFile("e.txt", "").c_str() }, &reply), -1);
    EXPECT_EQ(reply, "Textfilen ”e.txt” är tom och lades inte till.");
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(w->projectViewer.GetCurrentTemplate()->GetCount(), items);
    EXPECT_EQ(Api({ "-addtext", text.c_str() }, &reply), 0);
    EXPECT_EQ(w->projectViewer.GetCurrentTemplate()->GetCount(), items + 1);

    // Unknown requests, a relative path and too many requests: refused, nothing done.
    gAlerts.clear();
    Answer({ 1 });
    EXPECT_EQ(
        Api({ "-bogus", "x", "-addimgae", text.c_str(), "-open", "skiva.vtproj" }, &reply), -1);
    EXPECT_EQ(reply,
        "Vorantel känner inte till begäran ”-bogus”.\nVorantel känner inte till begäran "
        "”-addimgae”.\nSökvägen ”skiva.vtproj” är inte fullständig, så det går inte att veta "
        "vilken fil den menar.");
    std::vector<const char*> many;
    for (size_t i = 0; i <= kVTMaxRequests; ++i) {
        many.push_back("-addtext");
        many.push_back(text.c_str());
    }
    Answer({ 1 });
    EXPECT_EQ(Api(many, &reply), -1);
    EXPECT_EQ(
        reply, "För många begäranden på en gång: 1001 (högst 1000). Ingen av dem har utförts.");
    EXPECT_EQ(gAlerts.size(), 2u);
    EXPECT_EQ(w->projectViewer.GetCurrentTemplate()->GetCount(), items + 1);
}

// A request of a second start that waits behind a modal window: the second start learns at once
// that it waits, and its outcome once it has run; a refusal that is known at once is answered at
// once, and told in the window when the modal window has closed.
TEST_F(MainDialogTest, AQueuedRequestIsAnsweredWhenItHasRun)
{
    auto* other = new LNativeWindow(LUiRect { 0, 0, 100, 80 }, kLUiWindowTitled, false);
    uintptr_t session = LModalLoop::BeginSession(other);
    ASSERT_NE(session, 0u);
    auto refused = std::make_shared<RecordedReply>();
    auto queued = std::make_shared<RecordedReply>();
    char buffer[kLZORAPIReplySize];
    {
        LZORAPIReplyScope current(refused);
        const char* args[] = { "-new", "floppy" };
        EXPECT_EQ(w->EvAPICommand(2, args, buffer), -1);
    }
    EXPECT_FALSE(refused->IsQueued());
    EXPECT_EQ(refused->finished, 1);
    EXPECT_EQ(refused->result, -1);
    EXPECT_EQ(refused->text, "Det gick inte att skapa ett nytt projekt av typ floppy");
    {
        LZORAPIReplyScope current(queued);
        const char* args[] = { "-new", "cd" };
        EXPECT_EQ(w->EvAPICommand(2, args, buffer), 0);
    }
    // Told once its files are read: it waits for the window.
    EXPECT_TRUE(uitest::PumpUntil([&] { return queued->IsQueued(); }, 3000));
    EXPECT_EQ(queued->finished, 0);
    uitest::Pump(200);
    EXPECT_EQ(queued->finished, 0);
    EXPECT_TRUE(gAlerts.empty());
    Answer({ 1 });
    LModalLoop::EndSession(session);
    other->Close();
    other->Release();
    EXPECT_TRUE(uitest::PumpUntil([&] { return queued->finished > 0; }, 3000));
    EXPECT_EQ(queued->finished, 1);
    EXPECT_EQ(queued->result, 0);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !w->HasDeferredWork(); }, 3000));
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].message, "Det gick inte att skapa ett nytt projekt av typ floppy");
    EXPECT_NE(w->GetProject(), nullptr);
    EXPECT_EQ(refused->finished, 1);
}

TEST_F(MainDialogTest, DroppedFiles)
{
    std::string a = WriteProject("a.vtproj");
    std::string b = WriteProject("b.vtproj");
    std::string image = std::string(VT_TEST_DATA) + "/images/base.png";
    std::string txt = WriteFile("notes.txt", "x");

    // Images without a project: nothing at all.
    w->DropPaths({ image });
    uitest::Pump(100);
    EXPECT_FALSE(AlertMapped());
    EXPECT_EQ(w->GetProject(), nullptr);

    Answer({ 1 });
    w->DropPaths({ a, b });
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].title, "Dra och släpp-fel");
    EXPECT_EQ(gAlerts[0].message, "Det går inte att läsa in flera projekt samtidigt.");

    Answer({ 1 });
    w->DropPaths({ a, image });
    ASSERT_EQ(gAlerts.size(), 2u);
    EXPECT_EQ(gAlerts[1].message, "Det går inte att läsa in projekt och bilder samtidigt.");
    EXPECT_EQ(w->GetProject(), nullptr);

    // A project and a text file: asked first; "Avbryt" stops, "Fortsätt" loads.
    Answer({ 2 });
    w->DropPaths({ a, txt });
    ASSERT_EQ(gAlerts.size(), 3u);
    EXPECT_EQ(gAlerts[2].message, "Det går inte att läsa in följande filer:\n\n   notes.txt");
    EXPECT_EQ(gAlerts[2].buttons, (std::vector<std::string> { "Fortsätt", "Avbryt" }));
    EXPECT_EQ(w->GetProject(), nullptr);
    Answer({ 1 });
    w->DropPaths({ a, txt });
    ASSERT_NE(w->GetProject(), nullptr);
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software - a.vtproj");

    // Capitals: a project all the same.
    std::string upper = folder.Path() + "/X.VTPROJ";
    ASSERT_EQ(rename(b.c_str(), upper.c_str()), 0);
    w->DropPaths({ upper });
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software - X.VTPROJ");

    // A thousand unsupported files: twenty named, then "…".
    std::vector<std::string> many;
    for (int i = 0; i < 1000; ++i)
        many.push_back(folder.Path() + "/f" + std::to_string(i) + ".xyz");
    Answer({ 1 });
    w->DropPaths(many);
    ASSERT_EQ(gAlerts.size(), 5u);
    const std::string& m = gAlerts[4].message;
    EXPECT_NE(m.find("   f19.xyz"), std::string::npos);
    EXPECT_EQ(m.find("   f20.xyz"), std::string::npos);
    EXPECT_EQ(m.substr(m.size() - 7), "\n   …");
}

TEST_F(MainDialogTest, SavingAndTheUnsavedQuestion)
{
    std::string path = WriteProject("skiva.vtproj");
    ASSERT_TRUE(w->CmProjectLoad(path.c_str(), false));
    VTProject* p = w->GetProject();
    EXPECT_FALSE(w->CmProjectSave()); // saved already: nothing to do
    p->SetSaveState(VTProjectSaveStateModified);
    EXPECT_EQ(w->ComputeEnableState().toolbar.at(1007), true);

    // "Avbryt" keeps the project, "Spara" saves it.
    Answer({ 2 });
    EXPECT_FALSE(w->CmCloseDocument(true));
    EXPECT_EQ(w->GetProject(), p);
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].title, "Ändringar som inte sparats");
    EXPECT_EQ(gAlerts[0].buttons, (std::vector<std::string> { "Spara", "Avbryt", "Spara inte" }));
    std::string copy = folder.Path() + "/kopia.vtproj";
    ASSERT_TRUE(w->CmProjectSave(copy.c_str()));
    EXPECT_EQ(p->GetSaveState(), VTProjectSaveStateSaved);
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software - kopia.vtproj");
    struct stat st = {};
    EXPECT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_TRUE(w->CmCloseDocument(true));
    EXPECT_EQ(w->GetProject(), nullptr);
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software");
}

// A text typed into "Textegenskaper" and still waiting for its pause when a command comes is
// in the project for it: "Stäng" asks about it, "Spara" saves it.
TEST_F(MainDialogTest, TextWaitingInThePanelIsSeenByCloseAndSave)
{
    std::string path = WriteProject("skiva.vtproj");
    ASSERT_TRUE(w->CmProjectLoad(path.c_str(), false));
    VTProject* p = w->GetProject();
    VTProjectViewer& viewer = w->projectViewer;
    VTOverlay* text = viewer.GetCurrentTemplate()->first;
    while (text && text->GetType() != VTOverlayTypeText)
        text = text->next;
    ASSERT_NE(text, nullptr);
    viewer.canvas.SetItemSelected(text, true, true);
    ASSERT_TRUE(viewer.textPanel);
    VTControlEdit& box = viewer.textPanel->text;
    box.SetFocus(1000);
    // A key typed into the box (the window need not have the keyboard).
    auto type = [&](unsigned key) {
        uitest::SendKey(box.GetControlHandle(1000), key, true);
        uitest::SendKey(box.GetControlHandle(1000), key, false);
    };
    auto shown = [&] {
        LStringLongTemplate<char> t;
        box.GetEditText(1000, t);
        return std::string(t.c_str());
    };
    type(GDK_KEY_x);
    ASSERT_TRUE(box.TimerIsSet(1)) << "nothing waits: the test tries nothing";
    ASSERT_EQ(p->GetSaveState(), VTProjectSaveStateSaved);

    Answer({ 2 }); // "Avbryt"
    w->Command(1009, 0); // "Stäng"
    ASSERT_EQ(gAlerts.size(), 1u) << "closed without asking";
    EXPECT_EQ(gAlerts[0].title, "Ändringar som inte sparats");
    ASSERT_EQ(w->GetProject(), p);
    type(GDK_KEY_y);
    ASSERT_TRUE(box.TimerIsSet(1));
    const std::string typed = shown();
    w->Command(1007, 0); // "Spara"
    EXPECT_EQ(p->GetSaveState(), VTProjectSaveStateSaved);
    const std::vector<std::string> texts = e2e::SavedTexts(path);
    EXPECT_NE(std::find(texts.begin(), texts.end(), typed), texts.end())
        << "the file lacks the text typed: " << typed;
}

// An old project whose picture cannot be read opens without it, once the user has been told
// which picture it is (one alert, while the project is loaded, so before any save).
TEST_F(MainDialogTest, AnOldProjectTellsOfThePictureItCouldNotRead)
{
    std::string path = WriteFile("gammal.vtx",
        "<vorantel_project type=\"cd\"><container type=\"disc\"><element type=\"image\" "
        "w=\"1000\" h=\"1000\" img=\"borta.png\"/><element type=\"image\" w=\"1000\" "
        "h=\"1000\" img=\"borta.jpg\"/></container></vorantel_project>");
    Answer({ 1 });
    ASSERT_TRUE(w->CmProjectLoad(path.c_str(), false));
    ASSERT_EQ(gAlerts.size(), 1u);
    EXPECT_EQ(gAlerts[0].title, "Laddar projekt");
    EXPECT_EQ(gAlerts[0].message,
        "Det gick inte att läsa in en överlagringsbild korrekt:\n"
        "”borta.png” (Det gick inte att hitta filen.)\n"
        "”borta.jpg” (Det gick inte att hitta filen.)");
    ASSERT_NE(w->GetProject(), nullptr);
    EXPECT_EQ(w->GetProject()->templates.GetHead()->GetCount(), 2u);
    EXPECT_EQ(w->GetProject()->GetSaveState(), VTProjectSaveStateSaved);
    EXPECT_EQ(Caption(), "Vorantel av ZOR Software - gammal.vtproj");
}

TEST_F(MainDialogTest, TheViewerShowsOnceItHasTakenTheProjectAndGoesWithIt)
{
    // While the viewer takes a new project it stays hidden (shown midway, its panels would be
    // laid out anew on the screen at every step); it shows as soon as the request returns.
    struct Watch : VTProjectViewerNotifyee {
        LView* viewer = nullptr;
        int calls = 0, shownDuring = 0;
        void EvProjectViewerLabelLayoutSelectionChanged(VTLabelLayoutTemplate*) override
        {
            ++calls;
            if (viewer && !viewer->IsHiddenOrHasHiddenAncestor())
                ++shownDuring;
        }
    } watch;
    LView* viewer = w->projectViewer.GetContentView();
    ASSERT_NE(viewer, nullptr);
    watch.viewer = viewer;
    EXPECT_TRUE(viewer->IsHiddenOrHasHiddenAncestor());
    w->projectViewer.AddNotifyee(watch);
    ASSERT_EQ(Api({ "-new", "cd" }), 0);
    EXPECT_GE(watch.calls, 1);
    EXPECT_EQ(watch.shownDuring, 0);
    EXPECT_FALSE(viewer->IsHiddenOrHasHiddenAncestor());
    EXPECT_TRUE(w->CmCloseDocument(true));
    EXPECT_TRUE(viewer->IsHiddenOrHasHiddenAncestor());
    w->projectViewer.RemoveNotifyee(watch);
}

TEST_F(MainDialogTest, BareNames)
{
    EXPECT_EQ(MainDialog::ProjectBareName("/a/b/skiva.vtproj"), "skiva");
    EXPECT_EQ(MainDialog::ProjectBareName("/data/vorantel/skiva_autosave.vtproj"), "skiva");
    EXPECT_EQ(MainDialog::ProjectBareName("Namnlöst.vtproj"), "Namnlöst");
    EXPECT_EQ(MainDialog::ProjectBareName("/x/_autosave.vtproj"), "_autosave");
}

// A separate window: the offer comes while the window becomes ready.
TEST(MainDialogAutoSave, OfferedOnceAndReopenedAsUnsavedWork)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    PrivateHomes homes;
    TemporaryFolder runtime, folder;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    // No welcome dialog where nothing is offered.
    LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    auto project = MakeProject();
    VTProjectSave record;
    record.project = project.get();
    std::string autosave = folder.Path() + "/skiva_autosave.vtproj";
    std::snprintf(record.path, sizeof record.path, "%s", autosave.c_str());
    LProcessInterfaceVoid quiet;
    ASSERT_EQ(Process(quiet, record), LProcessResultSuccess);

    // "Kassera den": the setting stays for the next start.
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());
    gAlerts.clear();
    for (int answer : { 2, 1 }) {
        Answer({ answer });
        auto w = std::make_unique<MainDialog>();
        const char* argv[] = { "vorantel" };
        ASSERT_TRUE(w->MainWindowInit(1, argv));
        ASSERT_TRUE(
            uitest::PumpUntil([&] { return gAlerts.size() == size_t(answer == 2 ? 1 : 2); }));
        uitest::Pump(100);
        EXPECT_EQ(gAlerts.back().title, "Projektet sparas automatiskt");
        EXPECT_EQ(
            gAlerts.back().buttons, (std::vector<std::string> { "Öppna den", "Kassera den" }));
        char value[260] = "";
        _LUserSettingGetString("AutoSave", "FileName", "", value);
        // Either way the setting names it still: reopened, it is offered again after a crash.
        EXPECT_EQ(std::string(value), autosave);
        if (answer == 2) {
            EXPECT_EQ(w->GetProject(), nullptr);
        } else {
            ASSERT_NE(w->GetProject(), nullptr);
            EXPECT_EQ(w->GetProject()->GetSaveState(), VTProjectSaveStateModified);
            // Its own name without folder: saving asks where.
            EXPECT_STREQ(w->GetProject()->GetPath(), "skiva.vtproj");
            EXPECT_FALSE(w->IsWelcomeAllowed());
            // Closed without saving, the autosave goes.
            Answer({ 3 });
            EXPECT_TRUE(w->CmCloseDocument(true));
            struct stat st = {};
            EXPECT_NE(stat(autosave.c_str(), &st), 0);
            _LUserSettingGetString("AutoSave", "FileName", "", value);
            EXPECT_STREQ(value, "");
        }
        w->MainWindowDestroy();
        w.reset();
        LMainMenu::SetMainMenu(nullptr);
    }

    // A setting naming a missing file is cleared and nothing is offered.
    LUserSettingSetString("AutoSave", "FileName", (folder.Path() + "/gone.vtproj").c_str());
    gAlerts.clear();
    auto w = std::make_unique<MainDialog>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    uitest::Pump(300);
    EXPECT_TRUE(gAlerts.empty());
    char value[260] = "x";
    _LUserSettingGetString("AutoSave", "FileName", "", value);
    EXPECT_STREQ(value, "");
    w->MainWindowDestroy();
    w.reset();
    LMainMenu::SetMainMenu(nullptr);
}

// Quitting destroys the window's views while the window object lives on until the loop ends:
// whatever the loop still runs then (timers that came due together with the quit key, posted
// work) must not reach the views that went.
TEST_F(MainDialogTest, NothingLeftRunningReachesTheViewsOnceTheWindowIsDestroyed)
{
    std::string path = WriteProject("skiva.vtproj");
    ASSERT_TRUE(w->CmProjectLoad(path.c_str(), false));
    std::string text = WriteFile("rad.txt", "En rad text");
    EXPECT_EQ(Api({ "-addtext", text.c_str() }), 0);
    w->GetProject()->SetSaveState(VTProjectSaveStateModified);
    uitest::Pump(300);
    Answer({ 3 }); // "Spara inte"
    EXPECT_TRUE(w->CmExit());
    EXPECT_TRUE(w->IsDestroyed());
    uitest::Pump(2500);
    w.reset();
    uitest::Pump(200);
}

// A hundred texts added one after another: each lands 1 mm further out, the last ones beyond the
// disc's edge. Saved and opened again, the project is as saved: nothing to save or undo, no
// question when it is closed, though the far texts were brought back within reach.
TEST_F(MainDialogTest, OpeningAProjectWithTextsBeyondTheEdgeChangesNothing)
{
    std::string text = WriteFile("t.txt", "Rad ett\nRad två");
    ASSERT_EQ(Api({ "-new", "cd" }), 0);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(Api({ "-addtext", text.c_str() }), 0);
    std::string path = folder.Path() + "/hundra.vtproj";
    ASSERT_TRUE(w->CmProjectSave(path.c_str()));
    ASSERT_TRUE(w->CmProjectLoad(path.c_str(), false));
    // Whatever the opening posted has run.
    EXPECT_TRUE(uitest::PumpUntilIdle());
    VTProject* p = w->GetProject();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetSaveState(), VTProjectSaveStateSaved);
    const auto state = w->ComputeEnableState();
    EXPECT_FALSE(state.toolbar.at(1007)) << "Spara";
    EXPECT_FALSE(state.toolbar.at(9401)) << "Ångra";
    const VTProjectTemplate* disc = p->templates.GetHead();
    ASSERT_EQ(disc->GetCount(), 100u);
    EXPECT_LT(disc->GetItemAt(99)->centreX, 99.0f);
    EXPECT_TRUE(w->CmCloseDocument(true));
    EXPECT_TRUE(gAlerts.empty());
}
