#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageBuffer.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ProjectLog : VTProjectNotifyee {
    std::vector<std::string> events;
    void EvProjectLabelLayoutChanged(VTProject&) override { events.push_back("layout"); }
    void EvProjectTemplateChanged(VTProject&) override { events.push_back("changed"); }
    void EvProjectSaveStateChanged(VTProject& p) override
    {
        events.push_back("state " + std::to_string(int(p.saveState)));
    }
    void EvProjectOverlayAdded(VTProject&, VTProjectTemplate&, VTOverlay& o) override
    {
        events.push_back("added " + std::to_string(o.GetType()));
    }
    void EvProjectOverlayDeleting(VTProject&, VTProjectTemplate&, VTOverlay& o) override
    {
        events.push_back("deleting " + std::to_string(o.GetType()));
    }
    std::vector<std::string> Take() { return std::exchange(events, {}); }
};
using Events = std::vector<std::string>;

// A layout that counts its deletions.
struct CountedLayout : VTLabelLayout {
    explicit CountedLayout(int* deaths)
        : m_deaths(deaths)
    {
    }
    ~CountedLayout() override { ++*m_deaths; }
    int* m_deaths;
};

// Adds positions of the formats with the given ids to a new page.
void AddPage(VTLabelLayout& layout, std::vector<std::pair<VTTemplateFormat, int>> positions)
{
    VTLabelLayoutPage* page = layout.AddPage();
    for (auto [format, id] : positions) {
        page->AddTemplate(format, id);
        if (id > layout.largestTemplateID)
            layout.largestTemplateID = id;
    }
}

std::vector<int> Ids(const VTProjectTemplate& design)
{
    std::vector<int> ids;
    for (const VTLabelLayoutTemplateID& entry : design.mappedIDs)
        ids.push_back(entry.id);
    return ids;
}

float OuterDiameter(const VTProjectTemplate& design)
{
    return static_cast<const VTTemplateDataDiscCDDVDStandard*>(design.GetTemplateData())
        ->GetOuterDiameter();
}

void Picture(LImageBuffer& b, int w, int h)
{
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, w, h));
}

class Project : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", m_folder.Path().c_str(), 1);
    }
    TemporaryFolder m_folder;
};

} // namespace

TEST_F(Project, NewProjects)
{
    VTProject empty;
    EXPECT_STREQ(empty.GetPath(), "Namnlöst.vtproj");
    EXPECT_EQ(empty.saveState, VTProjectSaveStateNew);
    EXPECT_TRUE(empty.templates.IsEmpty());
    EXPECT_EQ(empty.GetLabelLayout(), nullptr);

    // One page with a disc and a CD case front: two designs, in that order, one per position.
    auto* layout = new VTLabelLayout;
    layout->sameFormat = true; // plays no part here
    AddPage(*layout, { { VTTemplateFormatDisc, 4 }, { VTTemplateFormatCaseCDFront, 9 } });
    AddPage(*layout, { { VTTemplateFormatDisc, 11 } });
    static_cast<VTTemplateDataDiscCDDVDStandard*>(layout->FindTemplate(4)->GetTemplateData())
        ->SetOuterDiameter(100);
    VTProject project(layout);
    EXPECT_EQ(project.GetLabelLayout(), layout);
    EXPECT_EQ(project.saveState, VTProjectSaveStateNew);
    ASSERT_EQ(project.templates.GetCount(), 3u);
    const VTProjectTemplate* disc = project.templates.GetAt(0);
    EXPECT_EQ(disc->format, VTTemplateFormatDisc);
    EXPECT_EQ(Ids(*disc), std::vector<int>({ 4 }));
    EXPECT_FLOAT_EQ(OuterDiameter(*disc), 100); // the position's printable area
    EXPECT_EQ(project.templates.GetAt(1)->format, VTTemplateFormatCaseCDFront);
    EXPECT_EQ(Ids(*project.templates.GetAt(1)), std::vector<int>({ 9 }));
    EXPECT_EQ(Ids(*project.templates.GetAt(2)), std::vector<int>({ 11 }));
    EXPECT_EQ(project.FindTemplateForLabelLayoutTemplateID(9), project.templates.GetAt(1));
    EXPECT_EQ(project.FindTemplateForLabelLayoutTemplateID(5), nullptr);

    // A design starts white, without overlays or background image.
    ASSERT_NE(disc->backgroundBrush.Get(), nullptr);
    EXPECT_EQ(disc->backgroundBrush->kind, LBrushInfoKindSolid);
    EXPECT_EQ(disc->backgroundBrush->color.GetRed8(), 255);
    EXPECT_EQ(disc->backgroundBrush->color.GetBlue8(), 255);
    EXPECT_EQ(disc->backgroundBrush->color.alpha, 255);
    EXPECT_STREQ(disc->backgroundImagePath, "");
    EXPECT_EQ(disc->first, nullptr);
    EXPECT_FLOAT_EQ(disc->newTextOffsetX, 0);

    // A layout without pages: no designs.
    VTProject bare(new VTLabelLayout);
    EXPECT_TRUE(bare.templates.IsEmpty());
}

TEST_F(Project, SetLabelLayoutKeepsReusesAndDeletesDesigns)
{
    int deaths = 0;
    auto* original = new CountedLayout(&deaths);
    AddPage(*original,
        { { VTTemplateFormatDisc, 0 }, { VTTemplateFormatCaseCDFront, 1 },
            { VTTemplateFormatCaseDVD, 2 } });
    VTProject project(original);
    VTProjectTemplate* disc = project.templates.GetAt(0);
    VTProjectTemplate* front = project.templates.GetAt(1);
    ProjectLog log;
    project.AddNotifyee(log);

    // The same ids: every design stays and takes the new printable area.
    LPtr<VTLabelLayout> same(new CountedLayout(&deaths));
    AddPage(*same,
        { { VTTemplateFormatDisc, 0 }, { VTTemplateFormatCaseCDFront, 1 },
            { VTTemplateFormatCaseDVD, 2 } });
    static_cast<VTTemplateDataDiscCDDVDStandard*>(same->FindTemplate(0)->GetTemplateData())
        ->SetOuterDiameter(90);
    VTLabelLayout* sameRaw = same.Get();
    project.SetLabelLayout(same);
    EXPECT_TRUE(same.IsNull());
    EXPECT_EQ(project.GetLabelLayout(), sameRaw);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(log.Take(), Events({ "state 1", "layout" }));
    ASSERT_EQ(project.templates.GetCount(), 3u);
    EXPECT_EQ(project.templates.GetAt(0), disc);
    EXPECT_FLOAT_EQ(OuterDiameter(*disc), 90);

    // New ids, flag clear: a design of each format is reused once, extra positions get new
    // designs, the DVD design (a format the layout lacks) goes.
    LPtr<VTLabelLayout> fresh(new CountedLayout(&deaths));
    AddPage(*fresh, { { VTTemplateFormatDisc, 10 }, { VTTemplateFormatDisc, 11 } });
    AddPage(*fresh, { { VTTemplateFormatCaseCDFront, 12 } });
    static_cast<VTTemplateDataDiscCDDVDStandard*>(fresh->FindTemplate(10)->GetTemplateData())
        ->SetOuterDiameter(80);
    project.SetLabelLayout(fresh);
    EXPECT_EQ(deaths, 2);
    ASSERT_EQ(project.templates.GetCount(), 3u);
    EXPECT_EQ(project.templates.GetAt(0), disc);
    EXPECT_EQ(Ids(*disc), std::vector<int>({ 10 }));
    EXPECT_FLOAT_EQ(OuterDiameter(*disc), 90); // a reused design keeps its area
    EXPECT_EQ(project.templates.GetAt(1), front);
    EXPECT_EQ(Ids(*front), std::vector<int>({ 12 }));
    VTProjectTemplate* second = project.templates.GetAt(2);
    EXPECT_EQ(second->format, VTTemplateFormatDisc);
    EXPECT_EQ(Ids(*second), std::vector<int>({ 11 }));
    EXPECT_EQ(log.Take(), Events({ "layout" }));

    // New ids, flag set: the first design of each format serves every position of it; the
    // second disc design is left without a position and goes.
    LPtr<VTLabelLayout> shared(new CountedLayout(&deaths));
    shared->sameFormat = true;
    AddPage(*shared,
        { { VTTemplateFormatDisc, 20 }, { VTTemplateFormatDisc, 21 }, { VTTemplateFormatDisc, 22 },
            { VTTemplateFormatCaseBluRay, 23 } });
    project.SetLabelLayout(shared);
    ASSERT_EQ(project.templates.GetCount(), 2u);
    EXPECT_EQ(project.templates.GetAt(0), disc);
    EXPECT_EQ(Ids(*disc), std::vector<int>({ 20, 21, 22 }));
    EXPECT_EQ(project.templates.GetAt(1)->format, VTTemplateFormatCaseBluRay);
    EXPECT_EQ(Ids(*project.templates.GetAt(1)), std::vector<int>({ 23 }));

    // Two positions of one format with the flag clear: two designs, though one existed.
    LPtr<VTLabelLayout> two(new CountedLayout(&deaths));
    AddPage(*two, { { VTTemplateFormatDisc, 30 }, { VTTemplateFormatDisc, 31 } });
    project.SetLabelLayout(two);
    ASSERT_EQ(project.templates.GetCount(), 2u);
    EXPECT_EQ(Ids(*project.templates.GetAt(0)), std::vector<int>({ 30 }));
    EXPECT_EQ(Ids(*project.templates.GetAt(1)), std::vector<int>({ 31 }));

    // An id that names a position of another format does not keep a design.
    LPtr<VTLabelLayout> swapped(new CountedLayout(&deaths));
    AddPage(*swapped, { { VTTemplateFormatCaseCDBack, 30 } });
    project.SetLabelLayout(swapped);
    ASSERT_EQ(project.templates.GetCount(), 1u);
    EXPECT_EQ(project.templates.GetAt(0)->format, VTTemplateFormatCaseCDBack);

    // Nothing to take: nothing changes.
    LPtr<VTLabelLayout> none;
    log.Take();
    project.SetLabelLayout(none);
    EXPECT_TRUE(log.Take().empty());
    EXPECT_EQ(project.templates.GetCount(), 1u);
    project.RemoveNotifyee(log);
}

TEST_F(Project, SetLabelLayoutLooksAtEveryPositionOfAnId)
{
    // A file may bring one id twice. The disc design keeps its id when any position with that id
    // is a disc, and takes that position's printable area.
    auto* original = new VTLabelLayout;
    AddPage(*original, { { VTTemplateFormatDisc, 5 } });
    VTProject project(original);
    VTProjectTemplate* disc = project.templates.GetAt(0);

    LPtr<VTLabelLayout> twice(new VTLabelLayout);
    AddPage(*twice, { { VTTemplateFormatCaseCDFront, 5 } });
    AddPage(*twice, { { VTTemplateFormatDisc, 5 } });
    auto* ring = static_cast<VTTemplateDataDiscCDDVDStandard*>(
        twice->pages.GetAt(1)->first->GetTemplateData());
    ring->SetOuterDiameter(100);
    project.SetLabelLayout(twice);
    ASSERT_EQ(project.templates.GetCount(), 2u);
    EXPECT_EQ(project.templates.GetAt(0), disc);
    EXPECT_EQ(Ids(*disc), std::vector<int>({ 5 }));
    EXPECT_FLOAT_EQ(OuterDiameter(*disc), 100);
    EXPECT_EQ(project.templates.GetAt(1)->format, VTTemplateFormatCaseCDFront);
}

// A new layout changes what the file would hold (designs may go with the old one): a saved
// project is unsaved afterwards, and the observers hear of the state before the layout. Nothing
// to take changes nothing.
TEST_F(Project, SetLabelLayoutMakesTheProjectUnsaved)
{
    auto* original = new VTLabelLayout;
    AddPage(*original, { { VTTemplateFormatDisc, 0 }, { VTTemplateFormatCaseCDFront, 1 } });
    VTProject project(original);
    project.SetSaveState(VTProjectSaveStateSaved);
    ProjectLog log;
    project.AddNotifyee(log);
    LPtr<VTLabelLayout> none;
    project.SetLabelLayout(none);
    EXPECT_EQ(project.saveState, VTProjectSaveStateSaved);
    EXPECT_TRUE(log.Take().empty());

    LPtr<VTLabelLayout> discOnly(new VTLabelLayout);
    AddPage(*discOnly, { { VTTemplateFormatDisc, 0 } });
    project.SetLabelLayout(discOnly);
    EXPECT_EQ(project.templates.GetCount(), 1u);
    EXPECT_EQ(project.saveState, VTProjectSaveStateModified);
    EXPECT_EQ(log.Take(), Events({ "state 1", "layout" }));
    project.RemoveNotifyee(log);
}

TEST_F(Project, ChangesReachTheObserversAndMarkTheProject)
{
    auto* layout = new VTLabelLayout;
    AddPage(*layout, { { VTTemplateFormatDisc, 0 } });
    VTProject project(layout);
    ProjectLog log;
    project.AddNotifyee(log);
    VTProjectTemplate& design = *project.templates.GetHead();

    VTOverlayText* text = design.AddOverlayText("Hej", 5, 6, 40, 10, "");
    EXPECT_EQ(log.Take(), Events({ "added 0", "state 1", "changed" }));
    EXPECT_EQ(project.saveState, VTProjectSaveStateModified);

    // Any change of an overlay is a change of the project; the state is told only once.
    text->SetText("Hallå");
    text->Rotate(10);
    const Events changes = log.Take();
    ASSERT_FALSE(changes.empty());
    for (const std::string& e : changes)
        EXPECT_EQ(e, "changed");

    project.SetSaveState(VTProjectSaveStateSaved);
    EXPECT_EQ(log.Take(), Events({ "state 2" }));
    project.SetSaveState(VTProjectSaveStateSaved);
    EXPECT_TRUE(log.Take().empty());
    text->SetDimensions(50, 12);
    EXPECT_EQ(log.Take(), Events({ "state 1", "changed" }));

    EXPECT_TRUE(design.DeleteItem(text));
    EXPECT_EQ(log.Take(), Events({ "deleting 0", "changed" }));
    project.SetPath("/tmp/a.vtproj");
    EXPECT_STREQ(project.GetPath(), "/tmp/a.vtproj");
    project.RemoveNotifyee(log);
}

TEST_F(Project, TextOverlaysSizeTheirFontByLength)
{
    VTProjectTemplate design(VTTemplateFormatCaseCDFront);
    struct Case {
        size_t length;
        int points;
    } const cases[] = { { 0, 12 }, { 1, 12 }, { 39, 12 }, { 40, 11 }, { 45, 11 }, { 79, 11 },
        { 80, 10 }, { 120, 9 }, { 160, 8 }, { 199, 8 }, { 200, 5 }, { 250, 5 }, { 5000, 5 } };
    for (const Case& c : cases) {
        VTOverlayText* text
            = design.AddOverlayText(std::string(c.length, 'x').c_str(), 1, 2, 30, 20, "");
        EXPECT_EQ(text->GetFont().GetSize(), c.points) << c.length;
        char face[260];
        text->GetFont().GetName(face, sizeof face);
        EXPECT_STREQ(face, "Lucida Grande");
        EXPECT_FALSE(text->GetFont().IsBold());
        EXPECT_FALSE(text->GetFont().IsItalic());
        EXPECT_FALSE(text->GetFont().IsUnderlined());
        EXPECT_FALSE(text->GetFont().IsStrikeout());
        EXPECT_FLOAT_EQ(text->centreX, 1);
        EXPECT_FLOAT_EQ(text->centreY, 2);
        EXPECT_FLOAT_EQ(text->width, 30);
        EXPECT_FLOAT_EQ(text->height, 20);
        EXPECT_EQ(std::string(text->GetText()).size(), c.length);
    }
    VTOverlayText* named = design.AddOverlayText(nullptr, 0, 0, 1, 1, "DejaVu Sans");
    char face[260];
    named->GetFont().GetName(face, sizeof face);
    EXPECT_STREQ(face, "DejaVu Sans");
    EXPECT_EQ(named->GetFont().GetSize(), 12);
    // Each text goes on top.
    EXPECT_EQ(design.GetItemAt(design.GetCount() - 1), named);
}

TEST_F(Project, BackgroundImages)
{
    VTProjectTemplate design(VTTemplateFormatDisc);
    VTOverlayText* text = design.AddOverlayText("a", 0, 0, 10, 10, "");
    LImageBuffer wide;
    Picture(wide, 200, 100);

    // No setting: the aspect is kept, the background as high as the design.
    VTOverlayImageBackground* first = design.AddOverlayImageBackground(wide, "/bilder/a.png");
    EXPECT_EQ(design.first, first);
    EXPECT_EQ(design.GetItemAt(1), text);
    EXPECT_FLOAT_EQ(first->width, 240);
    EXPECT_FLOAT_EQ(first->height, 120);
    EXPECT_FLOAT_EQ(first->centreX, 0);
    EXPECT_FLOAT_EQ(first->centreY, 0);
    EXPECT_TRUE(first->GetMaintainAspectRatio());
    EXPECT_STREQ(first->GetSourcePath(), "/bilder/a.png");

    // "0": the background fills the design; it replaces the earlier one, still first.
    LUserSettingSetString("Settings", "BacgroundAspectRatio", "0");
    struct Log : VTProjectTemplateNotifyee {
        int added = 0, deleting = 0, changed = 0;
        void EvProjectTemplateOverlayAdded(VTProjectTemplate&, VTOverlay&) override { ++added; }
        void EvProjectTemplateOverlayDeleting(VTProjectTemplate&, VTOverlay&) override
        {
            ++deleting;
        }
        void EvProjectTemplateChanged(VTProjectTemplate&) override { ++changed; }
    } log;
    design.AddNotifyee(log);
    VTOverlayImageBackground* second = design.AddOverlayImageBackground(wide, "b.png");
    EXPECT_EQ(log.added, 1);
    EXPECT_EQ(log.deleting, 1);
    EXPECT_GE(log.changed, 1);
    ASSERT_EQ(design.GetCount(), 2u);
    EXPECT_EQ(design.first, second);
    EXPECT_EQ(design.GetItemAt(1), text);
    EXPECT_FLOAT_EQ(second->width, 120);
    EXPECT_FLOAT_EQ(second->height, 120);
    EXPECT_FALSE(second->GetMaintainAspectRatio());

    // Any other first character keeps the aspect; a picture without height fills the design.
    LUserSettingSetString("Settings", "BacgroundAspectRatio", "1");
    LImageBuffer tall;
    Picture(tall, 50, 100);
    VTOverlayImageBackground* third = design.AddOverlayImageBackground(tall, "");
    EXPECT_FLOAT_EQ(third->width, 60);
    EXPECT_FLOAT_EQ(third->height, 120);
    LImageBuffer nothing;
    VTOverlayImageBackground* fourth = design.AddOverlayImageBackground(nothing, "");
    EXPECT_FLOAT_EQ(fourth->width, 120);
    EXPECT_FLOAT_EQ(fourth->height, 120);
    EXPECT_EQ(design.GetCount(), 2u);

    // A background inserted without notifying into a design whose first overlay is a text.
    VTProjectTemplate plain(VTTemplateFormatCaseCDBack);
    plain.AddOverlayText("x", 0, 0, 1, 1, "");
    auto* background = new VTOverlayImageBackground;
    plain.InsertOverlay(background, false);
    EXPECT_EQ(plain.first, background);
    design.RemoveNotifyee(log);
}

TEST_F(Project, DeletingTextsMovesTheNextTextBack)
{
    VTProjectTemplate design(VTTemplateFormatDisc);
    VTOverlayText* a = design.AddOverlayText("a", 0, 0, 1, 1, "");
    VTOverlayText* b = design.AddOverlayText("b", 0, 0, 1, 1, "");
    LImageBuffer picture;
    Picture(picture, 4, 4);
    VTOverlayImageBackground* background = design.AddOverlayImageBackground(picture, "");
    design.DeleteItem(a);
    EXPECT_FLOAT_EQ(design.newTextOffsetX, -1);
    EXPECT_FLOAT_EQ(design.newTextOffsetY, -1);
    design.DeleteItem(background);
    EXPECT_FLOAT_EQ(design.newTextOffsetX, -1);
    design.newTextOffsetX = 3;
    design.newTextOffsetY = 3;
    design.DeleteItem(b);
    EXPECT_FLOAT_EQ(design.newTextOffsetX, 2);
    EXPECT_FLOAT_EQ(design.newTextOffsetY, 2);
}

TEST_F(Project, MappedIds)
{
    VTProjectTemplate design(VTTemplateFormatDisc);
    design.AddMappingToLabelLayoutTemplateID(3);
    design.AddMappingToLabelLayoutTemplateID(5);
    design.AddMappingToLabelLayoutTemplateID(3);
    EXPECT_EQ(Ids(design), std::vector<int>({ 3, 5, 3 }));
    design.RemoveMappingToLabelLayoutTemplateID(3);
    EXPECT_EQ(Ids(design), std::vector<int>({ 5, 3 }));
    design.RemoveMappingToLabelLayoutTemplateID(9);
    EXPECT_EQ(Ids(design), std::vector<int>({ 5, 3 }));
    EXPECT_TRUE(design.HasMappingToLabelLayoutTemplateID(3));
    EXPECT_FALSE(design.HasMappingToLabelLayoutTemplateID(9));
}

TEST_F(Project, SwapOverlayListTellsNobody)
{
    VTProjectTemplate design(VTTemplateFormatCaseCDFront);
    VTOverlayText* a = design.AddOverlayText("a", 0, 0, 1, 1, "");
    VTOverlayText* b = design.AddOverlayText("b", 0, 0, 1, 1, "");
    struct Log : VTProjectTemplateNotifyee {
        int events = 0;
        void EvProjectTemplateChanged(VTProjectTemplate&) override { ++events; }
        void EvProjectTemplateOverlayAdded(VTProjectTemplate&, VTOverlay&) override { ++events; }
        void EvProjectTemplateOverlayDeleting(VTProjectTemplate&, VTOverlay&) override { ++events; }
    } log;
    design.AddNotifyee(log);

    VTOverlayList other;
    auto* c = new VTOverlayText;
    auto* background = new VTOverlayImageBackground;
    other.AddItem(c, false);
    other.AddItem(background, false);
    design.SwapOverlayList(other);
    EXPECT_EQ(log.events, 0);
    // The list's former overlays by the insertion rule: the background first.
    ASSERT_EQ(design.GetCount(), 2u);
    EXPECT_EQ(design.GetItemAt(0), background);
    EXPECT_EQ(design.GetItemAt(1), c);
    ASSERT_EQ(other.GetCount(), 2u);
    EXPECT_EQ(other.GetItemAt(0), a);
    EXPECT_EQ(other.GetItemAt(1), b);

    // Overlays in the list no longer reach the design; those in the design do, once each.
    a->SetText("changed");
    EXPECT_EQ(log.events, 0);
    c->SetText("changed");
    EXPECT_EQ(log.events, 1);

    // And back again.
    design.SwapOverlayList(other);
    EXPECT_EQ(design.GetItemAt(0), a);
    EXPECT_EQ(design.GetItemAt(1), b);
    EXPECT_EQ(other.GetItemAt(0), background);
    log.events = 0;
    a->SetText("again");
    EXPECT_EQ(log.events, 1);
    c->SetText("again");
    EXPECT_EQ(log.events, 1);
    design.RemoveNotifyee(log);
}
