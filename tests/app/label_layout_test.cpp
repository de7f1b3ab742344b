#include "app/VTLabelLayout.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records the layout's events as short lines.
struct LayoutLog : VTLabelLayoutNotifyee {
    std::vector<std::string> events;
    void EvLabelLayoutMediumChanged(VTLabelLayout&) override { events.push_back("medium"); }
    void EvLabelLayoutPageAdded(VTLabelLayout&, VTLabelLayoutPage&) override
    {
        events.push_back("page+");
    }
    void EvLabelLayoutPageDeleting(VTLabelLayout&, VTLabelLayoutPage&) override
    {
        events.push_back("page-");
    }
    void EvLabelLayoutPageOrientationChanged(
        VTLabelLayout&, VTLabelLayoutPage&, LPaperSizeOrientation o) override
    {
        events.push_back("orientation " + std::to_string(int(o)));
    }
    void EvLabelLayoutTemplateAdded(
        VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate& t) override
    {
        events.push_back("template+ " + std::to_string(t.id));
    }
    void EvLabelLayoutTemplateDeleting(
        VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate& t) override
    {
        events.push_back("template- " + std::to_string(t.id));
    }
    void EvLabelLayoutTemplatesChanged(VTLabelLayout&, VTLabelLayoutPage&) override
    {
        events.push_back("changed");
    }
    std::vector<std::string> Take() { return std::exchange(events, {}); }
};

using Events = std::vector<std::string>;

} // namespace

TEST(LabelLayout, Defaults)
{
    VTLabelLayout layout;
    EXPECT_STREQ(layout.key, "");
    EXPECT_STREQ(layout.name, "");
    EXPECT_STREQ(layout.description.GetString(), "");
    EXPECT_EQ(layout.printMedium, VTPrintMediumPaper);
    EXPECT_EQ(layout.paperSize, LPaperSizeUSLetter);
    EXPECT_EQ(layout.printerTray, 0);
    EXPECT_TRUE(layout.pages.IsEmpty());
    EXPECT_EQ(layout.largestTemplateID, -1);
    EXPECT_FALSE(layout.sameFormat);
    EXPECT_STREQ(c_arVTPrintMediumKeys[0], "paper");
    EXPECT_STREQ(c_arVTPrintMediumKeys[1], "disc");

    VTLabelLayoutPage page;
    EXPECT_EQ(page.orientation, LPaperSizeOrientationPortrait);
    EXPECT_FLOAT_EQ(page.GetRotationAngle(), 0);
    page.orientation = LPaperSizeOrientationLandscape;
    EXPECT_FLOAT_EQ(page.GetRotationAngle(), -90);

    VTLabelLayoutTemplate disc(VTTemplateFormatDisc, 7);
    EXPECT_EQ(disc.GetItemType(), 1);
    EXPECT_EQ(disc.id, 7);
    EXPECT_FLOAT_EQ(disc.boundingBox.right, 1);
    EXPECT_TRUE(disc.transform.IsIdentity());
    float w = 0, h = 0;
    disc.GetDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 120);
    EXPECT_FLOAT_EQ(h, 120);
    VTLabelLayoutTemplate dvd(VTTemplateFormatCaseDVD, 0);
    dvd.GetDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 272);
    EXPECT_FLOAT_EQ(h, 184);
    VTLabelLayoutTemplate nothing(VTTemplateFormat(9), 0);
    nothing.GetDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 0);
    EXPECT_FLOAT_EQ(h, 0);
    EXPECT_EQ(page.AddTemplate(VTTemplateFormat(6), 1), nullptr);
    EXPECT_EQ(page.GetCount(), 0u);
}

TEST(LabelLayout, EventsTravelUpToTheLayout)
{
    VTLabelLayout layout;
    LayoutLog log;
    layout.AddNotifyee(log);

    VTLabelLayoutPage* page = layout.AddPage();
    EXPECT_EQ(log.Take(), Events({ "page+" }));
    VTLabelLayoutTemplate* disc = page->AddTemplate(VTTemplateFormatDisc, layout.NewTemplateID());
    VTLabelLayoutTemplate* front
        = page->AddTemplate(VTTemplateFormatCaseCDFront, layout.NewTemplateID());
    EXPECT_EQ(log.Take(), Events({ "template+ 0", "changed", "template+ 1", "changed" }));

    front->centreX = 30;
    front->NotifyTransformChanged();
    front->Rotate(90);
    EXPECT_EQ(log.Take(), Events({ "changed", "changed" }));

    page->SetOrientation(LPaperSizeOrientationLandscape);
    page->SetOrientation(LPaperSizeOrientationLandscape); // no change, no event
    EXPECT_EQ(log.Take(), Events({ "orientation 1" }));

    EXPECT_TRUE(page->DeleteItem(disc));
    EXPECT_EQ(log.Take(), Events({ "template- 0", "changed" }));

    // A page of another layout is ignored.
    VTLabelLayout other;
    VTLabelLayoutPage* foreign = other.AddPage();
    layout.DeletePage(foreign);
    layout.DeletePage(nullptr);
    EXPECT_TRUE(log.Take().empty());
    EXPECT_EQ(other.pages.GetCount(), 1u);

    layout.DeletePage(page);
    EXPECT_EQ(log.Take(), Events({ "page-" }));
    EXPECT_TRUE(layout.pages.IsEmpty());
    layout.RemoveNotifyee(log);
}

TEST(LabelLayout, TemplateIdsAreNeverReused)
{
    VTLabelLayout layout;
    VTLabelLayoutPage* page = layout.AddPage();
    EXPECT_EQ(layout.NewTemplateID(), 0);
    EXPECT_EQ(layout.largestTemplateID, 0);
    page->AddTemplate(VTTemplateFormatDisc, 0);
    EXPECT_EQ(layout.NewTemplateID(), 1);
    VTLabelLayoutTemplate* second = page->AddTemplate(VTTemplateFormatDisc, 1);
    // Deleting the newest position does not give its id back.
    page->DeleteItem(second);
    EXPECT_EQ(layout.NewTemplateID(), 2);
    // A position whose id lies above the stored largest id (as a file may bring) is respected.
    layout.AddPage()->AddTemplate(VTTemplateFormatCaseCDBack, 40);
    EXPECT_EQ(layout.NewTemplateID(), 41);
    EXPECT_EQ(layout.largestTemplateID, 41);

    // An empty layout whose ids were handed out before goes on counting.
    VTLabelLayout emptied;
    emptied.largestTemplateID = 5;
    EXPECT_EQ(emptied.NewTemplateID(), 6);

    // No id above the largest is left: the lowest free one keeps ids unique.
    VTLabelLayout full;
    VTLabelLayoutPage* p = full.AddPage();
    p->AddTemplate(VTTemplateFormatDisc, 0);
    p->AddTemplate(VTTemplateFormatDisc, INT32_MAX);
    EXPECT_EQ(full.NewTemplateID(), 1);
}

TEST(LabelLayout, CopiesAreDeepAndKeepOrder)
{
    VTLabelLayout source;
    utf8strlcpy(source.key, "Stock", sizeof source.key);
    utf8strlcpy(source.name, "Ark", sizeof source.name);
    source.description = "Beskrivning";
    source.printMedium = VTPrintMediumDisc;
    source.paperSize = LPaperSizeInvalid;
    source.printerTray = 36;
    source.sameFormat = true;
    VTLabelLayoutPage* first = source.AddPage();
    first->orientation = LPaperSizeOrientationLandscape;
    VTLabelLayoutTemplate* disc = first->AddTemplate(VTTemplateFormatDisc, source.NewTemplateID());
    static_cast<VTTemplateDataDiscCDDVDStandard*>(disc->GetTemplateData())
        ->SetDiscPrintableArea(100, 20, true, 40, 30);
    disc->centreX = 5;
    disc->Rotate(30);
    first->AddTemplate(VTTemplateFormatCaseCDFront, source.NewTemplateID());
    VTLabelLayoutPage* second = source.AddPage();
    VTLabelLayoutTemplate* dvd
        = second->AddTemplate(VTTemplateFormatCaseDVD, source.NewTemplateID());
    dvd->GetTemplateData()->SetSpineWidth(9.5f);
    LayoutLog sourceLog;
    source.AddNotifyee(sourceLog);

    auto check = [](const VTLabelLayout& copy) {
        EXPECT_STREQ(copy.key, "Stock");
        EXPECT_STREQ(copy.name, "Ark");
        EXPECT_STREQ(copy.description.GetString(), "Beskrivning");
        EXPECT_EQ(copy.printMedium, VTPrintMediumDisc);
        EXPECT_EQ(copy.printerTray, 36);
        EXPECT_EQ(copy.largestTemplateID, 2);
        EXPECT_TRUE(copy.sameFormat);
        ASSERT_EQ(copy.pages.GetCount(), 2u);
        const VTLabelLayoutPage* p1 = copy.pages.GetHead();
        EXPECT_EQ(p1->orientation, LPaperSizeOrientationLandscape);
        ASSERT_EQ(p1->GetCount(), 2u);
        const VTLabelLayoutTemplate* d = p1->GetItemAt(0);
        EXPECT_EQ(d->format, VTTemplateFormatDisc);
        EXPECT_EQ(d->id, 0);
        EXPECT_FLOAT_EQ(d->centreX, 5);
        EXPECT_FLOAT_EQ(d->rotation, 30);
        EXPECT_FALSE(d->transform.IsIdentity());
        float outer, inner, bandOuter, bandInner;
        bool band;
        static_cast<const VTTemplateDataDiscCDDVDStandard*>(d->GetTemplateData())
            ->GetDiscPrintableArea(outer, inner, band, bandOuter, bandInner);
        EXPECT_FLOAT_EQ(outer, 100);
        EXPECT_FLOAT_EQ(inner, 20);
        EXPECT_TRUE(band);
        EXPECT_EQ(p1->GetItemAt(1)->format, VTTemplateFormatCaseCDFront);
        EXPECT_EQ(p1->GetItemAt(1)->id, 1);
        const VTLabelLayoutPage* p2 = copy.pages.GetNext(p1);
        ASSERT_EQ(p2->GetCount(), 1u);
        EXPECT_FLOAT_EQ(p2->first->GetTemplateData()->GetSpineWidth(), 9.5f);
        EXPECT_EQ(p2->first->id, 2);
    };

    VTLabelLayout copy(source);
    check(copy);
    EXPECT_NE(copy.pages.GetHead(), source.pages.GetHead());
    EXPECT_NE(copy.pages.GetHead()->first, disc);

    // Assignment replaces the pages; the observers stay each layout's own.
    VTLabelLayout assigned;
    assigned.AddPage()->AddTemplate(VTTemplateFormatCaseBluRay, 0);
    LayoutLog assignedLog;
    assigned.AddNotifyee(assignedLog);
    assigned = source;
    check(assigned);
    const VTLabelLayout& alias = assigned;
    assigned = alias;
    check(assigned);

    // The copies' pages and positions tell their own layout, not the source's.
    VTLabelLayoutTemplate* copied = assigned.pages.GetHead()->first;
    copied->centreY = 3;
    copied->NotifyTransformChanged();
    assigned.pages.GetHead()->SetOrientation(LPaperSizeOrientationPortrait);
    EXPECT_EQ(assignedLog.Take(), Events({ "changed", "orientation 0" }));
    EXPECT_TRUE(sourceLog.Take().empty());
    EXPECT_FLOAT_EQ(disc->centreY, 0);
    source.RemoveNotifyee(sourceLog);
    assigned.RemoveNotifyee(assignedLog);
}

TEST(LabelLayout, HitTests)
{
    // A disc is hit inside its circle whatever its rotation, never in the corners of its box.
    for (float rotation : { 0.0f, 37.0f, 90.0f, 200.0f }) {
        VTLabelLayoutTemplate disc(VTTemplateFormatDisc, 0);
        disc.centreX = 10;
        disc.centreY = -20;
        disc.rotation = rotation;
        EXPECT_TRUE(disc.HitTest(10, -20));
        EXPECT_EQ(disc.hitFlags, VTHitInside);
        EXPECT_TRUE(disc.HitTest(10 + 59.9f, -20));
        EXPECT_TRUE(disc.HitTest(10, -20 - 59.9f));
        EXPECT_TRUE(disc.HitTest(10 + 42, -20 + 42)); // 59.4 from the centre
        EXPECT_FALSE(disc.HitTest(10 + 43, -20 + 43)); // 60.8
        EXPECT_EQ(disc.hitFlags, 0);
        EXPECT_FALSE(disc.HitTest(10 + 59, -20 - 59)); // a corner of the box
        EXPECT_FALSE(disc.HitTest(10 + 60.5f, -20));
    }

    // Other formats: the turned box with its border bands.
    VTLabelLayoutTemplate front(VTTemplateFormatCaseCDFront, 0);
    front.centreX = 100;
    EXPECT_TRUE(front.HitTest(100, 0));
    EXPECT_EQ(front.hitFlags, VTHitInside);
    EXPECT_TRUE(front.HitTest(100 + 119, 59));
    EXPECT_FALSE(front.HitTest(100, 62));
    front.rotation = 90;
    EXPECT_TRUE(front.HitTest(100, 110)); // the long side now runs down
    EXPECT_FALSE(front.HitTest(100 + 110, 0));
}

TEST(LabelLayout, MediumChanges)
{
    VTLabelLayout layout;
    LayoutLog log;
    layout.AddNotifyee(log);
    layout.SetPaperSize(LPaperSizeUSLetter); // already that paper
    EXPECT_TRUE(log.Take().empty());
    layout.SetPaperSize(LPaperSizeA4);
    EXPECT_EQ(log.Take(), Events({ "medium" }));
    EXPECT_EQ(layout.paperSize, LPaperSizeA4);
    float w = 0, h = 0;
    layout.GetPageDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 210);
    EXPECT_FLOAT_EQ(h, 297);

    // One page with one position: the disc moves to the new tray's centre.
    VTLabelLayoutTemplate* disc = layout.AddPage()->AddTemplate(VTTemplateFormatDisc, 0);
    log.Take();
    layout.SetPrinterTray(36);
    EXPECT_EQ(layout.printMedium, VTPrintMediumDisc);
    EXPECT_EQ(layout.paperSize, LPaperSizeInvalid);
    EXPECT_EQ(layout.printerTray, 36);
    EXPECT_FLOAT_EQ(disc->centreX, -0.05f);
    EXPECT_FLOAT_EQ(disc->centreY, 23.4f);
    EXPECT_EQ(log.Take(), Events({ "changed", "medium" }));
    layout.GetPageDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 131.1f);
    EXPECT_FLOAT_EQ(h, 238.8f);

    // Two positions: nothing moves.
    VTLabelLayoutTemplate* other = layout.pages.GetHead()->AddTemplate(VTTemplateFormatDisc, 1);
    layout.SetPrinterTray(239);
    EXPECT_FLOAT_EQ(disc->centreY, 23.4f);
    EXPECT_FLOAT_EQ(other->centreY, 0);

    // Back to paper: the printer is forgotten.
    layout.SetPaperSize(LPaperSizeA4);
    EXPECT_EQ(layout.printMedium, VTPrintMediumPaper);
    EXPECT_EQ(layout.printerTray, 0);
    layout.RemoveNotifyee(log);

    VTLabelLayout unknownPrinter;
    unknownPrinter.SetPrinterTray(0);
    unknownPrinter.GetPageDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 0);
    EXPECT_FLOAT_EQ(h, 0);
    EXPECT_EQ(unknownPrinter.FindTemplate(0), nullptr);
    EXPECT_EQ(layout.FindTemplate(1), other);
}
