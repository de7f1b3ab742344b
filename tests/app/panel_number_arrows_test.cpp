// The number fields of the panels stepped by their arrows with the real pointer, as a person
// does it: a step applies as typing does, once the clicks pause. The text panel's
// "Teckenstorlek:" changes the text on the canvas (one undo step), and every field of the
// template panel ("Center X", "Center Y", "Ryggradens bredd" and the four edges) moves or
// widens the label position by one step. Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTOverlayText.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/ui/LNativeWindow.h"
#include "support/ControlTestSupport.h"
#include "support/ProjectViewerTestSupport.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>

using namespace pvtest;

namespace {

class PanelNumberArrows : public WindowTest { };

VTLabelLayoutEditorDialog* ShownEditor()
{
    LNativeWindow* w = LNativeWindow::KeyWindow();
    auto* d = w
        ? dynamic_cast<VTLabelLayoutEditorDialog*>(LCocoaWindow::GetThisProperty(w->ContentView()))
        : nullptr;
    return d && d->IsInitialised() && d->TemplatePanel() ? d : nullptr;
}

// The rectangle of the window's content (points) where the view shows: its own cut by every
// view it lies in (a scrolled panel column shows only some of its panels).
LUiRect ShownPart(const LView* view)
{
    double left = -1e9, top = -1e9, right = 1e9, bottom = 1e9;
    for (const LView* v = view; v; v = v->Superview()) {
        const LUiPoint origin = v->ConvertToRoot(LUiPoint {});
        left = std::max(left, origin.x);
        top = std::max(top, origin.y);
        right = std::min(right, origin.x + v->Frame().width);
        bottom = std::min(bottom, origin.y + v->Frame().height);
    }
    return LUiRect { left, top, std::max(0.0, right - left), std::max(0.0, bottom - top) };
}

// Turns the mouse wheel over the panel until the input of the pane shows whole; false when it
// does not come into view.
bool ScrollIntoView(LEmbeddedWindowTitled& panel, LEmbeddedWindow& pane, int updown)
{
    for (int turn = 0; turn < 40; ++turn) {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        if (!controltest::ChildPoint(pane, updown, x0, y0, 0, 0)
            || !controltest::ChildPoint(pane, updown, x1, y1, 1, 1))
            return false;
        const LUiRect shown = ShownPart(panel.GetContentView());
        if (shown.width <= 0 || shown.height <= 0)
            return false;
        if (y0 >= shown.y && y1 <= shown.y + shown.height)
            return true;
        const int button = y0 < shown.y ? 4 : 5;
        uitest::XClickButton(panel.GetContentView()->Window(), shown.x + shown.width / 2,
            shown.y + shown.height / 2, button);
        uitest::PumpUntilIdle(500);
    }
    return false;
}

} // namespace

// "Teckenstorlek:" stepped up twice, then down once: the text on the canvas takes each size the
// field shows once the clicks pause, one undo step for the two clicks.
TEST_F(PanelNumberArrows, TheFontSizesArrowsChangeTheTextOnTheCanvas)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    f.viewer.AddOverlayText("Ab");
    auto* text = static_cast<VTOverlayText*>(f.Design()->first);
    VTProjectViewerPanelTextProperties& panel = *f.viewer.textPanel;
    const int size = text->GetFont().GetSize();
    ASSERT_EQ(panel.size.UDGetInt(1001), size);
    const std::string before = f.SettledPixels("panel-arrows-font-before");
    const uint64_t steps = f.viewer.history.count;

    uitest::KeyboardLock lock;
    ASSERT_TRUE(controltest::ClickArrow(panel.size, 1001, true));
    ASSERT_TRUE(controltest::ClickArrow(panel.size, 1001, true));
    EXPECT_TRUE(uitest::PumpUntil([&] { return text->GetFont().GetSize() == size + 2; }, 3000))
        << "the field shows " << panel.size.UDGetInt(1001) << ", the text has "
        << text->GetFont().GetSize();
    uitest::Pump(400);
    EXPECT_EQ(f.viewer.history.count, steps + 1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text property");
    EXPECT_TRUE(f.SettledPixels("panel-arrows-font-larger") != before)
        << "the canvas did not change";

    ASSERT_TRUE(controltest::ClickArrow(panel.size, 1001, false));
    EXPECT_TRUE(uitest::PumpUntil([&] { return text->GetFont().GetSize() == size + 1; }, 3000));
    f.viewer.Undo();
    EXPECT_EQ(text->GetFont().GetSize(), size + 2);
    EXPECT_EQ(panel.size.UDGetInt(1001), size + 2);
}

// In "Redigera etikettlayout" of a DVD case (a spine of its own): each number field of the
// template panel stepped up once by its arrow moves the position, or widens its spine, by the
// field's step; the panel's values computed from the position afterwards show the stepped value.
TEST_F(PanelNumberArrows, EveryFieldOfTheTemplatePanelStepsThePosition)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LSettingSetMeasurementUnit(0);
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataMemorexDVDCaseA4));
    VTLabelLayoutTemplate* current = project->GetLabelLayout()->pages.GetHead()->first;
    ASSERT_NE(current, nullptr);
    std::vector<std::string> failures;
    bool ran = false;
    uitest::When([] { return ShownEditor() != nullptr; },
        [&] {
            VTLabelLayoutEditorDialog& d = *ShownEditor();
            VTLabelLayoutEditorPanelTemplateProperties& panel = *d.TemplatePanel();
            VTLabelLayoutTemplate* t = d.Viewer().GetSingleSelectedItem();
            VTLabelLayoutPage* page = d.CurrentPage();
            if (!t || !page) {
                failures.push_back("no position selected");
                d.PostCommand(kLCmdCancel);
                return;
            }
            uitest::PumpUntilIdle();
            auto values = [&] {
                VTTemplatePanelValues v;
                VTTemplatePanelValuesGet(d.Layout(), page, t, v);
                return v;
            };
            struct Field {
                const char* name;
                LEmbeddedWindow* pane;
                int updown;
                std::function<float(const VTTemplatePanelValues&)> value;
            };
            const Field fields[] = {
                { "Center X", &panel.CenterX(), 1001, [](auto& v) { return v.centreX; } },
                { "Center Y", &panel.CenterY(), 1001, [](auto& v) { return v.centreY; } },
                { "Ryggradens bredd", &panel.Spine(), 1001, [](auto& v) { return v.spineWidth; } },
                { "top edge", &panel.Edges(), 1100, [](auto& v) { return v.edges[0]; } },
                { "left edge", &panel.Edges(), 1201, [](auto& v) { return v.edges[1]; } },
                { "right edge", &panel.Edges(), 1301, [](auto& v) { return v.edges[2]; } },
                { "bottom edge", &panel.Edges(), 1401, [](auto& v) { return v.edges[3]; } },
            };
            uitest::KeyboardLock lock;
            for (const Field& field : fields) {
                const float was = field.value(values());
                if (!ScrollIntoView(panel, *field.pane, field.updown)
                    || !controltest::ClickArrow(*field.pane, field.updown, true)) {
                    failures.push_back(std::string(field.name) + ": not on the screen");
                    continue;
                }
                const bool stepped = uitest::PumpUntil(
                    [&] { return std::fabs(field.value(values()) - (was + 0.1f)) < 0.005f; }, 3000);
                if (!stepped)
                    failures.push_back(std::string(field.name) + ": " + std::to_string(was)
                        + " became " + std::to_string(field.value(values())));
            }
            uitest::PumpUntilDrawn(d.GetNativeWindow());
            uitest::SaveScreenshot(d.GetNativeWindow(),
                uitest::ArtefactPath("panel_number_arrows", "template-panel-stepped"));
            ran = true;
            d.PostCommand(kLCmdCancel);
        });
    VTLabelLayoutEditorDialogOpen(nullptr, project, current);
    EXPECT_TRUE(ran);
    for (const std::string& failure : failures)
        ADD_FAILURE() << failure;
}
