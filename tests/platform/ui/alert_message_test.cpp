// An alert's message is found wherever the alert puts it: under the headline, or in the scrolled
// box of a message too long for the screen (too many characters, or too many lines for the work
// area). Tests of the whole program read it from "<file>.alert-text"; it holds the message in
// every case.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/LUiAlert.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Seen {
    std::string message;
    bool scrolled = false;
    std::string written; // "<file>.alert-text"
};

// Runs an alert with this message; what it showed, read while it is up. The alert is answered
// once the test file has been written.
Seen Show(const std::string& message, bool checkBox, const std::string& rectangles)
{
    Seen seen;
    uitest::When(
        [] {
            auto* a = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            return a && gtk_widget_get_mapped(a);
        },
        [&] {
            auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            ASSERT_NE(alert, nullptr) << "no alert came up";
            seen.message = LUiAlertMessage(alert);
            if (auto* label = static_cast<GtkWidget*>(LUiAlertMessageLabel(alert)))
                seen.scrolled = gtk_widget_get_ancestor(label, GTK_TYPE_SCROLLED_WINDOW) != nullptr;
            const std::string file = rectangles + ".alert-text";
            uitest::PumpUntil([&] { return !TemporaryFolder::ReadFile(file).empty(); });
            seen.written = TemporaryFolder::ReadFile(file);
            gtk_dialog_response(GTK_DIALOG(alert), 0);
        });
    LUiAlert alert;
    alert.headline = "Rubrik";
    alert.message = message;
    alert.buttons = { "OK" };
    alert.showCheckBox = checkBox;
    alert.checkBoxLabel = "Visa inte igen";
    EXPECT_EQ(LUiRunAlert(alert), 0);
    return seen;
}

class AlertMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        rectangles = folder.Path() + "/rectangles";
        setenv("VT_TEST_RECTANGLES_FILE", rectangles.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("VT_TEST_RECTANGLES_FILE");
        std::remove((rectangles + ".alert").c_str());
        std::remove((rectangles + ".alert-text").c_str());
    }
    TemporaryFolder folder;
    std::string rectangles;
};

} // namespace

TEST_F(AlertMessageTest, TheMessageIsFoundWhereverTheAlertPutsIt)
{
    struct Case {
        const char* what;
        std::string message;
        bool scrolled;
    };
    std::string longText;
    while (longText.size() < 3000)
        longText += "En lång rad i ett meddelande. ";
    // Fewer characters than make a long message, more lines than any screen here holds.
    std::string manyLines;
    for (int i = 0; i < 150; ++i)
        manyLines += "rad " + std::to_string(i) + "\n";
    manyLines += "slut";
    const Case cases[] = {
        { "short", "Filen kunde inte sparas.", false },
        { "long", longText, true },
        { "many lines", manyLines, true },
    };
    for (const Case& c : cases) {
        std::remove((rectangles + ".alert-text").c_str());
        const Seen seen = Show(c.message, true, rectangles);
        EXPECT_EQ(seen.message, c.message) << c.what;
        EXPECT_EQ(seen.scrolled, c.scrolled) << c.what;
        EXPECT_EQ(seen.written, "Rubrik\n" + c.message + "\n") << c.what;
    }
}

TEST_F(AlertMessageTest, AnAlertWithoutAMessageHasNone)
{
    // The check box's label is no message.
    const Seen seen = Show("", true, rectangles);
    EXPECT_EQ(seen.message, "");
    EXPECT_EQ(seen.written, "Rubrik\n\n");
}
