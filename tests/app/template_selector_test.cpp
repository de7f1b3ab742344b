// The template selector and the label-layout paginator over a three-page layout, embedded in a
// real window: tabs per page, per position and per design, paging forwards and backwards, the
// design printed only on page 2, and a tab clicked with the real pointer.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTControlLabelLayoutTemplatePaginator.h"
#include "app/VTControlTemplateSelector.h"
#include "app/VTProject.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

// Three pages: page 1 a disc (id 0) and a CD front (1); page 2 a disc (2) and a CD back (3);
// page 3 a CD front (4). The project has three designs: the disc on 0 and 2, the front on 1 and
// 4, the back on 3 (the same-format arrangement).
struct ThreePages {
    VTProject project;
    VTLabelLayout* layout = new VTLabelLayout;
    VTLabelLayoutTemplate* t[5] = {};
    VTProjectTemplate* disc = new VTProjectTemplate(VTTemplateFormatDisc);
    VTProjectTemplate* front = new VTProjectTemplate(VTTemplateFormatCaseCDFront);
    VTProjectTemplate* back = new VTProjectTemplate(VTTemplateFormatCaseCDBack);
    ThreePages()
    {
        layout->SetPaperSize(LPaperSizeA4);
        VTLabelLayoutPage* p1 = layout->AddPage();
        t[0] = p1->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
        t[1] = p1->AddTemplate(VTTemplateFormatCaseCDFront, layout->NewTemplateID());
        VTLabelLayoutPage* p2 = layout->AddPage();
        t[2] = p2->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
        t[3] = p2->AddTemplate(VTTemplateFormatCaseCDBack, layout->NewTemplateID());
        VTLabelLayoutPage* p3 = layout->AddPage();
        t[4] = p3->AddTemplate(VTTemplateFormatCaseCDFront, layout->NewTemplateID());
        t[0]->centreY = -70;
        t[1]->centreY = 60;
        t[2]->centreY = -70;
        t[3]->centreY = 60;
        project.layout.Reset(layout);
        Map(disc, { 0, 2 });
        Map(front, { 1, 4 });
        Map(back, { 3 });
    }
    void Map(VTProjectTemplate* design, std::initializer_list<int> ids)
    {
        for (int id : ids)
            design->mappedIDs.AddTail(new VTLabelLayoutTemplateID(t[id]->GetID()));
        project.AppendTemplate(design);
    }
    VTLabelLayoutPage* Page(int n)
    {
        VTLabelLayoutPage* p = layout->pages.GetFirst();
        while (p && --n > 0)
            p = p->GetNext();
        return p;
    }
};

struct PaginatorCounter : VTControlLabelLayoutTemplatePaginatorNotifyee {
    int clicks = 0;
    void EvLabelLayoutTemplatePaginatorClicked() override { ++clicks; }
};

struct SelectorCounter : VTControlTemplateSelectorNotifyee {
    std::vector<VTLabelLayoutTemplate*> changes;
    void EvControlTemplateSelectorSelectionChanged(VTLabelLayoutTemplate* tpl) override
    {
        changes.push_back(tpl);
    }
};

struct Fixture {
    LMacWindow window;
    VTControlLabelLayoutTemplatePaginator paginator;
    VTControlTemplateSelector selector;
    const int s = Scale();
    Fixture()
    {
        window.CreateCocoaWindow(600 * s, 260 * s, kStyle, false, nullptr);
        paginator.Init(window);
        paginator.MovePixels(0, 0, 600 * s, 36 * s);
        selector.Init(window);
        selector.MovePixels(0, 40 * s, 300 * s, 200 * s);
    }
    ~Fixture()
    {
        paginator.Destroy();
        selector.Destroy();
        window.DestroyCommon();
    }
    std::string Captions()
    {
        std::string out;
        for (LTab* tab = paginator.GetTabBar().GetTabAtIndex(0); tab; tab = tab->next)
            out += std::string(out.empty() ? "" : "|") + tab->text;
        return out;
    }
    VTLabelLayoutTemplate* Selected() { return paginator.GetCurrentTemplate(); }
};

class TemplateSelector : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

} // namespace

TEST_F(TemplateSelector, PaginatorTabsPerPagePositionAndDesign)
{
    Fixture f;
    ThreePages l;
    LTabBar& bar = f.paginator.GetTabBar();
    EXPECT_EQ(bar.GetHeight(), 36 * f.s);
    // A tab per page: its first position.
    f.paginator.SetProject(&l.project);
    EXPECT_EQ(bar.GetTabCount(), 3u);
    EXPECT_EQ(f.Captions(), "Standardskiva|Standardskiva|Standard-CD-fodral - Fram");
    EXPECT_EQ(f.paginator.GetCurrentTemplate(), l.t[0]);
    EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(0));
    // Every position, the given one selected.
    f.paginator.UpdatePaginator(l.t[3]);
    EXPECT_EQ(bar.GetTabCount(), 5u);
    EXPECT_EQ(f.paginator.GetCurrentTemplate(), l.t[3]);
    EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(3));
    // One design per format: a tab per design, on the first position printing it.
    l.layout->sameFormat = true;
    f.paginator.EvProjectViewerLabelLayoutSelectionChanged(l.t[2]);
    EXPECT_EQ(bar.GetTabCount(), 3u);
    EXPECT_EQ(bar.GetTabAtIndex(0)->dataTag, (unsigned long)(uintptr_t)l.t[0]);
    EXPECT_EQ(bar.GetTabAtIndex(1)->dataTag, (unsigned long)(uintptr_t)l.t[1]);
    EXPECT_EQ(bar.GetTabAtIndex(2)->dataTag, (unsigned long)(uintptr_t)l.t[3]);
    EXPECT_EQ(f.paginator.GetCurrentTemplate(), l.t[0]);
    EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(0));
    // A null position changes nothing.
    f.paginator.UpdatePaginator(nullptr);
    EXPECT_EQ(bar.GetTabCount(), 3u);
    // No project: no tabs, no current position.
    f.paginator.SetProject(nullptr);
    EXPECT_EQ(bar.GetTabCount(), 0u);
    EXPECT_EQ(f.paginator.GetCurrentTemplate(), nullptr);
}

TEST_F(TemplateSelector, LayoutWithoutPagesOrWithEmptyPages)
{
    Fixture f;
    VTProject empty;
    empty.layout.Reset(new VTLabelLayout);
    f.paginator.SetProject(&empty);
    EXPECT_EQ(f.paginator.GetTabBar().GetTabCount(), 0u);
    EXPECT_EQ(f.paginator.GetCurrentTemplate(), nullptr);
    // A page without positions gets no tab.
    ThreePages l;
    VTLabelLayoutPage* blank = l.layout->AddPage();
    (void)blank;
    f.paginator.SetProject(&l.project);
    EXPECT_EQ(f.paginator.GetTabBar().GetTabCount(), 3u);
    // The selector pages over it.
    unsigned long page = 0;
    f.selector.SetSelectedProjectTemplate(&l.project, l.front, page);
    EXPECT_EQ(page, 1u);
    f.selector.NextPage(&l.project, page);
    EXPECT_EQ(page, 2u);
    f.selector.NextPage(&l.project, page);
    EXPECT_EQ(page, 3u);
    f.selector.NextPage(&l.project, page); // only the blank page follows
    EXPECT_EQ(page, 3u);
    EXPECT_EQ(f.selector.GetViewer().GetCollection(), l.Page(3));
}

TEST_F(TemplateSelector, SelectorShowsTheDesignsPageAndPages)
{
    Fixture f;
    ThreePages l;
    SelectorCounter counter;
    f.selector.AddNotifyee(counter);
    VTLabelLayoutSelectorViewer& viewer = f.selector.GetViewer();
    EXPECT_EQ(viewer.GetHeight(), 200 * f.s);
    unsigned long page = 99;
    // Without a design: nothing moves.
    f.selector.NextPage(&l.project, page);
    EXPECT_EQ(page, 99u);
    // The back is printed only on page 2: that page, its position selected, nobody told.
    f.selector.SetSelectedProjectTemplate(&l.project, l.back, page);
    EXPECT_EQ(page, 2u);
    EXPECT_EQ(viewer.GetCollection(), l.Page(2));
    EXPECT_EQ(viewer.GetSingleSelectedItem(), l.t[3]);
    EXPECT_TRUE(counter.changes.empty());
    // The disc: page 1, its one position there.
    f.selector.SetSelectedProjectTemplate(&l.project, l.disc, page);
    EXPECT_EQ(page, 1u);
    EXPECT_EQ(viewer.GetSingleSelectedItem(), l.t[0]);
    // Back on page 1: nothing, 0.
    f.selector.PreviousPage(&l.project, page);
    EXPECT_EQ(page, 0u);
    EXPECT_EQ(viewer.GetCollection(), l.Page(1));
    EXPECT_TRUE(counter.changes.empty());
    // Next from page 1 of 3: page 2, its first position reported.
    f.selector.NextPage(&l.project, page);
    EXPECT_EQ(page, 2u);
    EXPECT_EQ(viewer.GetCollection(), l.Page(2));
    ASSERT_EQ(counter.changes.size(), 1u);
    EXPECT_EQ(counter.changes[0], l.t[2]);
    f.selector.NextPage(&l.project, page);
    EXPECT_EQ(page, 3u);
    // Next on the last page: nothing changes, the page's own number.
    f.selector.NextPage(&l.project, page);
    EXPECT_EQ(page, 3u);
    EXPECT_EQ(viewer.GetCollection(), l.Page(3));
    EXPECT_EQ(counter.changes.size(), 2u);
    // Previous from page 3: page 2.
    f.selector.PreviousPage(&l.project, page);
    EXPECT_EQ(page, 2u);
    EXPECT_EQ(viewer.GetSingleSelectedItem(), l.t[2]);
    // A design printed nowhere: no page shown.
    VTProjectTemplate* orphan = new VTProjectTemplate(VTTemplateFormatCaseDVD);
    l.project.AppendTemplate(orphan);
    f.selector.SetSelectedProjectTemplate(&l.project, orphan, page);
    EXPECT_EQ(page, 4u);
    EXPECT_EQ(viewer.GetCollection(), nullptr);
}

TEST_F(TemplateSelector, RealClicksOnPaginatorAndSelector)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f;
    ThreePages l;
    PaginatorCounter clicks;
    SelectorCounter picks;
    f.paginator.AddNotifyee(clicks);
    f.selector.AddNotifyee(picks);
    f.paginator.SetProject(&l.project);
    f.paginator.UpdatePaginator(l.t[0]);
    unsigned long page = 0;
    f.selector.SetSelectedProjectTemplate(&l.project, l.disc, page);
    f.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.window.GetNativeWindow()));
    LTabBar& bar = f.paginator.GetTabBar();
    LTab* third = bar.GetTabAtIndex(2);
    ASSERT_NE(third, nullptr);
    const double x = (third->tabRect[0] + third->tabRect[2]) / 2.0 / f.s;
    const double y = (third->tabRect[1] + third->tabRect[3]) / 2.0 / f.s;
    ASSERT_TRUE(uitest::XClick(f.window.GetNativeWindow(), x, y));
    ASSERT_TRUE(uitest::PumpUntil([&] { return clicks.clicks > 0; }));
    EXPECT_EQ(clicks.clicks, 1);
    EXPECT_EQ(f.paginator.GetCurrentTemplate(), l.t[2]);
    // The right button on the front of page 1 in the selector picks it.
    VTLabelLayoutSelectorViewer& viewer = f.selector.GetViewer();
    const LMatrix<float> m = viewer.CalculateCollectionMatrix();
    const LPointTemplate<float> p = m.TransformPoint(LPointTemplate<float>(0, 60));
    ASSERT_TRUE(uitest::XClickButton(f.window.GetNativeWindow(), p.x / f.s, 40 + p.y / f.s, 3));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !picks.changes.empty(); }));
    EXPECT_EQ(picks.changes.back(), l.t[1]);
    uitest::Screenshot(f.window.GetNativeWindow(), "template-selector");
}
