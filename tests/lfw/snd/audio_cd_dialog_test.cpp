// The audio-CD information as the user asks for it, on real windows: the progress window says
// that the database is asked while the lookup waits; a lookup that failed is told with its
// reason and "Försök igen" / "Avbryt" (and trying again can succeed); "Ingen ljud-CD har
// upptäckts" only when no disc was read; a disc the database does not know is told as such.
// The MusicBrainz stand-in runs on 127.0.0.1 with a certificate of the test's own authority.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/snd/LAudioCDInfoDialog.h"
#include "lfw/snd/LMusicBrainz.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "support/ControlTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/RecordedDisc.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// One alert as it was shown: its headline, its message and its buttons (sorted).
struct ShownAlert {
    std::string headline, message;
    std::vector<std::string> buttons;
};

void CollectButtons(GtkWidget* w, std::vector<std::string>& out)
{
    if (GTK_IS_BUTTON(w) && gtk_widget_get_visible(w)) {
        const char* l = gtk_button_get_label(GTK_BUTTON(w));
        if (l)
            out.push_back(l);
    }
    if (GTK_IS_CONTAINER(w)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(w));
        for (GList* c = children; c; c = c->next)
            CollectButtons(GTK_WIDGET(c->data), out);
        g_list_free(children);
    }
}

// Answers the alerts in turn with the button labels given, keeping what each showed and a
// picture of it.
class AlertAnswers {
public:
    explicit AlertAnswers(std::vector<std::string> answers, std::string shotName)
        : fAnswers(std::move(answers))
        , fShot(std::move(shotName))
    {
        fSource = g_timeout_add(20, Tick, this);
    }
    ~AlertAnswers() { g_source_remove(fSource); }
    std::vector<ShownAlert> seen;

private:
    static gboolean Tick(gpointer data)
    {
        auto* self = static_cast<AlertAnswers*>(data);
        auto* d = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
        if (!d || !gtk_widget_get_mapped(d) || g_object_get_data(G_OBJECT(d), "vt-seen"))
            return G_SOURCE_CONTINUE;
        g_object_set_data(G_OBJECT(d), "vt-seen", GINT_TO_POINTER(1));
        ShownAlert a;
        gchar* h = nullptr;
        g_object_get(d, "text", &h, nullptr);
        a.headline = h ? h : "";
        a.message = LUiAlertMessage(d);
        g_free(h);
        CollectButtons(d, a.buttons);
        std::sort(a.buttons.begin(), a.buttons.end());
        uitest::SavePanelShot(d,
            uitest::ArtefactPath(
                "audio_cd", (self->fShot + "-" + std::to_string(self->seen.size())).c_str()));
        const std::string answer
            = self->seen.size() < self->fAnswers.size() ? self->fAnswers[self->seen.size()] : "";
        self->seen.push_back(a);
        if (GtkWidget* b = answer.empty() ? nullptr : uitest::FindButton(d, answer))
            gtk_button_clicked(GTK_BUTTON(b));
        else
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_DELETE_EVENT);
        return G_SOURCE_CONTINUE;
    }
    std::vector<std::string> fAnswers;
    std::string fShot;
    guint fSource = 0;
};

// The second status line of the progress window "Läsa CD-information" (the first holds the
// job's title) while it is up ("" when not).
std::string ProgressStatus()
{
    GList* windows = gtk_window_list_toplevels();
    std::string status;
    for (GList* w = windows; w; w = w->next) {
        GtkWindow* gw = GTK_WINDOW(w->data);
        const char* t = gtk_window_get_title(gw);
        if (!t || std::strcmp(t, "Läsa CD-information") != 0
            || !gtk_widget_get_mapped(GTK_WIDGET(gw)))
            continue;
        LNativeWindow* native = LNativeWindow::FromGtk(gw);
        auto* window = native && native->ContentView()
            ? dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(native->ContentView()))
            : nullptr;
        char text[260] = "";
        if (window)
            window->GetStaticText(102, text);
        status = text;
    }
    g_list_free(windows);
    return status;
}

class AudioCdDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gDir = new TemporaryFolder;
        gReady = TrustTestCertificates(gDir->Path());
    }
    static void TearDownTestSuite()
    {
        LUserSettingDeleteItem("Online", "MusicBrainzHost");
        delete gDir;
    }
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(gReady);
        homes = std::make_unique<PrivateHomes>();
        LCDSetDriveAccess(&drives);
        drives.replies = { kFourTracks };
        server = std::make_unique<LoopbackServer>(*gDir / "server.pem", *gDir / "server.key");
        LUserSettingSetString("Online", "MusicBrainzHost", server->Host().c_str());
        host = std::make_unique<controltest::Host>(500, 300);
        ASSERT_TRUE(host->Show());
    }
    void TearDown() override
    {
        LCDSetDriveAccess(nullptr);
        LMusicBrainzSetTimeOuts({});
        host.reset();
        server.reset();
    }
    RecordedDrives drives;
    std::unique_ptr<PrivateHomes> homes;
    std::unique_ptr<LoopbackServer> server;
    std::unique_ptr<controltest::Host> host;
    static TemporaryFolder* gDir;
    static bool gReady;
};
TemporaryFolder* AudioCdDialog::gDir = nullptr;
bool AudioCdDialog::gReady = false;

const std::string kGoodReply = "{\"releases\":[{\"title\":\"Skivan\",\"artist-credit\":[{\"name\":"
                               "\"Bandet\"}],\"media\":[{\"tracks\":[{\"title\":\"Ett\"},{"
                               "\"title\":\"Två\"},{\"title\":\"Tre\"},{\"title\":\"Fyra\"}]}]}]}";

} // namespace

TEST_F(AudioCdDialog, AServerErrorIsToldAndTryingAgainSucceeds)
{
    server->Add("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
    server->Add(JsonReply(kGoodReply));
    AlertAnswers alerts({ "Försök igen" }, "server-error");
    LStringLongTemplate<char> text;
    EXPECT_TRUE(LAudioCDInfoGet(host->GetContentView(), 2, text));
    EXPECT_STREQ(text.c_str(), "1. Ett (2:32)\n2. Två (3:01)\n3. Tre (4:35)\n4. Fyra (2:06)");
    ASSERT_EQ(alerts.seen.size(), 1u);
    EXPECT_EQ(alerts.seen[0].headline, "Uppgifterna om ljud-CD:n kunde inte hämtas");
    EXPECT_EQ(alerts.seen[0].message,
        "Ljud-CD:n lästes, men uppgifterna om den kunde inte hämtas från MusicBrainz-databasen."
        "\n\nServern svarade med ett fel (HTTP 503).");
    EXPECT_EQ(alerts.seen[0].buttons, (std::vector<std::string> { "Avbryt", "Försök igen" }));
    EXPECT_EQ(server->Requests().size(), 2u);
}

TEST_F(AudioCdDialog, TheWindowSaysTheDatabaseIsAskedUntilTheWaitRunsOut)
{
    LMusicBrainzSetTimeOuts({ 1500, 1500 });
    LoopbackScript hold;
    hold.hold = true;
    server->Add(hold);
    std::vector<std::string> statuses;
    guint watch = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* list = static_cast<std::vector<std::string>*>(data);
            const std::string s = ProgressStatus();
            if (!s.empty() && (list->empty() || list->back() != s))
                list->push_back(s);
            return G_SOURCE_CONTINUE;
        },
        &statuses);
    AlertAnswers alerts({ "Avbryt" }, "timed-out");
    LStringLongTemplate<char> text;
    EXPECT_FALSE(LAudioCDInfoGet(host->GetContentView(), 2, text));
    g_source_remove(watch);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back(), "Frågar MusicBrainz-databasen om skivan");
    ASSERT_EQ(alerts.seen.size(), 1u);
    EXPECT_NE(alerts.seen[0].message.find("Servern svarade inte i tid."), std::string::npos)
        << alerts.seen[0].message;
    EXPECT_EQ(alerts.seen[0].buttons, (std::vector<std::string> { "Avbryt", "Försök igen" }));
}

TEST_F(AudioCdDialog, NoDiscAndAnUnknownDiscAreToldAsSuch)
{
    // No drive holds a readable disc: the one case for "Ingen ljud-CD har upptäckts".
    drives.replies = { {} };
    {
        AlertAnswers alerts({ "Avbryt" }, "no-disc");
        LStringLongTemplate<char> text;
        EXPECT_FALSE(LAudioCDInfoGet(host->GetContentView(), 2, text));
        ASSERT_EQ(alerts.seen.size(), 1u);
        EXPECT_EQ(alerts.seen[0].headline, "Ingen ljud-CD har upptäckts");
        EXPECT_EQ(alerts.seen[0].message, "Sätt i en ljud-CD och försök igen.");
        EXPECT_EQ(alerts.seen[0].buttons, (std::vector<std::string> { "Avbryt", "Försök igen" }));
    }
    EXPECT_TRUE(server->Requests().empty());

    // A disc the service does not know: its own message, no offer to insert a disc.
    drives.replies = { kFourTracks };
    server->Add("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    AlertAnswers alerts({ "Fortsätt" }, "unknown-disc");
    LStringLongTemplate<char> text;
    EXPECT_FALSE(LAudioCDInfoGet(host->GetContentView(), 0, text));
    ASSERT_EQ(alerts.seen.size(), 1u);
    EXPECT_EQ(alerts.seen[0].message.empty() ? alerts.seen[0].headline : alerts.seen[0].message,
        "Den här ljud-CD:n hittades inte i databasen.");
    EXPECT_NE(alerts.seen[0].headline, "Ingen ljud-CD har upptäckts");
}
