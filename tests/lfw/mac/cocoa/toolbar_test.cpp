// The native toolbar of a window, clicked with the real pointer.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaToolbarImpl.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
constexpr int kCmdSplit = 801, kCmdWhole = 802, kCmdPlain = 803, kCmdCheck = 804, kCmdLong = 805,
              kCmdDrop = 900, kCmdClose = 806, kField = 30;

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

struct ToolWindow : LMacWindow {
    std::vector<int> commands;
    std::string fieldAtCommand;
    bool closeOnCommand = false;
    void Command(int id, int code) override
    {
        if (id == 0 || (id >= kCmdSplit && id < kCmdDrop + 10))
            commands.push_back(id);
        if (auto* field = dynamic_cast<LCocoaTextInputImpl*>(GetControlHandle(kField)))
            fieldAtCommand = field->stringValue();
        if (closeOnCommand && id == kCmdClose)
            Close();
        else
            LMacWindow::Command(id, code);
    }
};

// A coloured 32 x 32 square per icon id.
cairo_surface_t* Icon(const char* name)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
    cairo_t* cr = cairo_create(s);
    int id = atoi(name);
    cairo_set_source_rgb(cr, (id % 3) / 2.0, ((id / 3) % 3) / 2.0, 0.8);
    cairo_rectangle(cr, 4, 4, 24, 24);
    cairo_fill(cr);
    cairo_destroy(cr);
    return s;
}

const LCocoaToolbarRow kRows[] = {
    { 6, 0, 0, "sep", "", "" },
    { 6, 0, 0, "sep", "", "" },
    { 3, kCmdSplit, 1, "split", "Dela", "Delad knapp" },
    { 9, kCmdWhole, 2, "whole", "Hel", "Hel meny" },
    { 7, kCmdPlain, 3, "plain", "Vanlig", "Vanlig knapp" },
    { 5, 0, 0, "flex", "", "" },
    { 10, kCmdCheck, 4, "check", "Bock", "Bockknapp" },
    { 1, kCmdLong, 5, "long", "En mycket lång etikett", nullptr },
    { 1, kCmdClose, 6, "close", "Stäng", nullptr },
};

class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        saved = LCocoaWindowHooksGet().loadResourceImage;
        LCocoaWindowHooksGet().loadResourceImage = Icon;
    }
    void TearDown() override { LCocoaWindowHooksGet().loadResourceImage = saved; }

    std::unique_ptr<LCocoaToolbarImpl> Make(ToolWindow& w)
    {
        int s = Scale();
        w.CreateCocoaWindow(620 * s, 160 * s, kStyle, false, nullptr);
        w.AddInput(kField, LInputFlags {}, 10, 10, 120);
        w.InitCommon(kLCocoaDialogCenterNone, true);
        // The window layer installs its own resource loader with its first window.
        LCocoaWindowHooksGet().loadResourceImage = Icon;
        auto bar = std::make_unique<LCocoaToolbarImpl>(&w, "se.vorantel.test.Layout");
        std::vector<const LCocoaToolbarRow*> rows;
        for (const auto& row : kRows)
            rows.push_back(&row);
        bar->setItems(rows);
        bar->createItems();
        EXPECT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
        uitest::Pump(100);
        return bar;
    }
    // Where a point of an item's button lies in the window's content (points).
    static bool ButtonPoint(ToolWindow& w, LCocoaToolbarImpl& bar, int command, double x, double y,
        double& cx, double& cy)
    {
        LCocoaToolbarItemImpl* item = bar.itemWithCommand(command);
        if (!item)
            return false;
        int tx = 0, ty = 0;
        if (!gtk_widget_translate_coordinates(
                item->button()->Widget(), w.GetContentView()->Widget(), 0, 0, &tx, &ty))
            return false;
        cx = tx + x;
        cy = ty + y;
        return true;
    }
    bool Click(ToolWindow& w, LCocoaToolbarImpl& bar, int command, double x, double y = 20)
    {
        double cx, cy;
        if (!ButtonPoint(w, bar, command, x, y, cx, cy))
            return false;
        bool ok = uitest::XClick(w.GetNativeWindow(), cx, cy);
        uitest::Pump(80);
        return ok;
    }

    _cairo_surface* (*saved)(const char*) = nullptr;
};

} // namespace

TEST_F(ToolbarTest, ItemsSeparatorsWidthsAndIdentifiers)
{
    ToolWindow w;
    auto bar = Make(w);
    std::vector<std::string> shown = bar->shownIdentifiers();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0], "se.vorantel.test.Layout_Dela_801");
    EXPECT_EQ(shown[3], "NSToolbarFlexibleSpaceItem");
    // Separators are allowed but never in the bar.
    EXPECT_EQ(bar->allowedIdentifiers().size(), 9u);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "NSToolbarSeparatorItem"), 0);
    EXPECT_EQ(bar->selectableIdentifiers(),
        (std::vector<std::string> {
            "se.vorantel.test.Layout_Hel_802", "se.vorantel.test.Layout_Vanlig_803" }));
    EXPECT_EQ(bar->itemWithCommand(kCmdSplit)->view()->Frame().width, 65);
    EXPECT_EQ(bar->itemWithCommand(kCmdWhole)->view()->Frame().width, 58);
    EXPECT_EQ(bar->itemWithCommand(kCmdPlain)->view()->Frame().width, 48);
    EXPECT_EQ(bar->itemWithCommand(kCmdPlain)->view()->Frame().height, 56);
    double longWidth = bar->itemWithCommand(kCmdLong)->view()->Frame().width;
    EXPECT_EQ(longWidth, LCocoaToolbarLabel::textWidth("En mycket lång etikett") + 8);
    EXPECT_GT(longWidth, 48);
    EXPECT_EQ(bar->itemWithCommand(kCmdLong)->button()->Frame().width, longWidth);
    // The buttons follow each other without gaps of separators.
    auto x = [&](int c) { return bar->getDropDownItemBounds(c).x; };
    EXPECT_NEAR(x(kCmdWhole) - x(kCmdSplit), 65, 8);
    EXPECT_NEAR(x(kCmdPlain) - x(kCmdWhole), 58, 8);
    EXPECT_GT(w.GetNativeWindow()->ToolbarHeight(), 55);
    EXPECT_GT(bar->getDropDownItemBounds(kCmdWhole).height, 55);
    EXPECT_EQ(bar->getDropDownItemBounds(4242).width, 0);
    bar->enableItem(4242, false); // nothing to do
    EXPECT_FALSE(bar->isItemEnabled(4242));
    EXPECT_FALSE(uitest::Screenshot(w.GetNativeWindow(), "toolbar-items").empty());

    bar->showItem(kCmdPlain, false);
    EXPECT_FALSE(bar->isItemVisible(kCmdPlain));
    // Shown again at its row's index (separators counted), capped at the items present.
    bar->showItem(kCmdPlain, true);
    EXPECT_EQ(bar->shownIdentifiers()[4], shown[2]);
    bar->setItemLabel(kCmdPlain, "Ny");
    EXPECT_EQ(bar->itemWithCommand(kCmdPlain)->itemString(), "Ny");

    // The toggle command hides the bar.
    w.SendCommand(kLCmdToggleToolbar);
    uitest::Pump(50);
    EXPECT_FALSE(bar->isToolbarVisible());
    EXPECT_EQ(w.GetNativeWindow()->ToolbarHeight(), 0);
    w.Close();
}

TEST_F(ToolbarTest, ClicksSendTheRightCommands)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    ToolWindow w;
    auto bar = Make(w);
    auto* split = dynamic_cast<LCocoaDropDownButton*>(bar->itemWithCommand(kCmdSplit)->button());
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->splitArrowX(), std::trunc((65 - 49) / 2) + 36);

    // Left of the divider: the row's command; on the arrow part: the drop-down command (0 until
    // one is set).
    ASSERT_TRUE(Click(w, *bar, kCmdSplit, split->splitArrowX() - 3));
    ASSERT_TRUE(Click(w, *bar, kCmdSplit, split->splitArrowX() + 2));
    bar->setDropDownCommand(kCmdSplit, kCmdDrop);
    ASSERT_TRUE(Click(w, *bar, kCmdSplit, split->splitArrowX() + 2));
    // A whole one always sends its drop-down command.
    ASSERT_TRUE(Click(w, *bar, kCmdWhole, 10));
    bar->setDropDownCommand(kCmdWhole, kCmdDrop + 1);
    ASSERT_TRUE(Click(w, *bar, kCmdWhole, 10));
    EXPECT_EQ(w.commands, (std::vector<int> { kCmdSplit, 0, kCmdDrop, 0, kCmdDrop + 1 }));

    // Disabled items send nothing; enabled again they do.
    w.commands.clear();
    bar->enableItem(kCmdPlain, false);
    EXPECT_FALSE(bar->isItemEnabled(kCmdPlain));
    ASSERT_TRUE(Click(w, *bar, kCmdPlain, 24));
    EXPECT_TRUE(w.commands.empty());
    EXPECT_FALSE(uitest::Screenshot(w.GetNativeWindow(), "toolbar-disabled").empty());
    bar->enableItem(kCmdPlain, true);
    ASSERT_TRUE(Click(w, *bar, kCmdPlain, 24));
    EXPECT_EQ(w.commands, (std::vector<int> { kCmdPlain }));

    // A check item shows its highlight when selected.
    bar->selectItem(kCmdCheck, true);
    EXPECT_TRUE(bar->isItemSelected(kCmdCheck));
    EXPECT_FALSE(bar->isItemSelected(kCmdPlain));
    uitest::Pump(50);
    EXPECT_FALSE(uitest::Screenshot(w.GetNativeWindow(), "toolbar-check-on").empty());
    w.Close();
}

TEST_F(ToolbarTest, ReleaseOutsideSendsNothingAndEditsCommitFirst)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    ToolWindow w;
    auto bar = Make(w);
    double fx, fy, tx, ty;
    ASSERT_TRUE(ButtonPoint(w, *bar, kCmdPlain, 24, 20, fx, fy));
    ASSERT_TRUE(ButtonPoint(w, *bar, kCmdPlain, 24, 120, tx, ty));
    uitest::XDragWithin(
        w.GetNativeWindow(), fx, fy, tx, ty, [] { return false; }, 600);
    EXPECT_TRUE(w.commands.empty());

    // A field being edited is committed before the command runs.
    auto* field = dynamic_cast<LCocoaTextInputImpl*>(w.GetControlHandle(kField));
    ASSERT_NE(field, nullptr);
    w.SetFocus(kField);
    uitest::Pump(30);
    gtk_entry_set_text(GTK_ENTRY(field->Widget()), "redigerad");
    ASSERT_TRUE(Click(w, *bar, kCmdPlain, 24));
    EXPECT_EQ(w.commands, (std::vector<int> { kCmdPlain }));
    EXPECT_EQ(w.fieldAtCommand, "redigerad");
    EXPECT_FALSE(field->HasFocus());

    // A command that closes the window.
    w.closeOnCommand = true;
    ASSERT_TRUE(Click(w, *bar, kCmdClose, 24));
    EXPECT_FALSE(w.IsAlive());
}

TEST_F(ToolbarTest, NoRowsAndNullTexts)
{
    ToolWindow w;
    int s = Scale();
    w.CreateCocoaWindow(300 * s, 120 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    LCocoaToolbarImpl empty(&w, "se.vorantel.test.Tom");
    empty.createItems();
    EXPECT_EQ(w.GetNativeWindow()->Toolbar(), nullptr);
    EXPECT_TRUE(empty.shownIdentifiers().empty());

    const LCocoaToolbarRow row { 9, 42, 7, nullptr, nullptr, nullptr };
    LCocoaToolbarImpl bar(&w, "se.vorantel.test.Null");
    bar.setItems({ &row });
    bar.createItems();
    ASSERT_TRUE(bar.isItemVisible(42));
    EXPECT_EQ(bar.itemWithCommand(42)->itemString(), "");
    EXPECT_EQ(bar.itemWithCommand(42)->view()->Frame().width, 58);
    bar.setItemLabel(42, nullptr); // keeps the label
    bar.setItemTooltip(42, nullptr);
    EXPECT_EQ(bar.itemWithCommand(42)->itemString(), "");
    w.Close();
}

TEST_F(ToolbarTest, OverflowMenuSendsTheItemsCommand)
{
    ToolWindow w;
    auto bar = Make(w);
    LCocoaToolbarItemImpl* item = bar->itemWithCommand(kCmdLong);
    ASSERT_NE(item, nullptr);
    GtkWidget* proxy = gtk_tool_item_retrieve_proxy_menu_item(GTK_TOOL_ITEM(item->toolItem()));
    ASSERT_NE(proxy, nullptr);
    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(proxy)), "En mycket lång etikett");
    gtk_menu_item_activate(GTK_MENU_ITEM(proxy));
    EXPECT_EQ(w.commands, (std::vector<int> { kCmdLong }));
    // A disabled item's menu form sends nothing.
    bar->enableItem(kCmdLong, false);
    gtk_menu_item_activate(GTK_MENU_ITEM(proxy));
    EXPECT_EQ(w.commands.size(), 1u);
    w.Close();
}
