#include "app/VTLabelLayout.h"

#include "app/VTTemplate.h"

#include <cmath>
#include <cstdint>
#include <cstring>

const char* const c_arVTPrintMediumKeys[kVTPrintMediumCount] = { "paper", "disc" };

// ================================================================================================
// VTLabelLayoutTemplate
// ================================================================================================

VTLabelLayoutTemplate::VTLabelLayoutTemplate(VTTemplateFormat f, int32_t templateID)
    : templateData(VTTemplate::CreateTemplateData(f))
    , format(f)
    , id(templateID)
{
}

VTLabelLayoutTemplate::VTLabelLayoutTemplate(const VTLabelLayoutTemplate& source)
    : VTItemHitTestable(source)
    , templateData(VTTemplate::CreateTemplateData(source.format))
    , format(source.format)
    , id(source.id)
{
    if (templateData && source.templateData) {
        templateData->SetPrintableArea(*source.templateData);
        templateData->SetSpineWidth(source.templateData->GetSpineWidth());
    }
}

void VTLabelLayoutTemplate::GetDimensions(float& width, float& height) const
{
    if (!templateData) {
        width = 0;
        height = 0;
        return;
    }
    templateData->GetDimensions(width, height);
}

bool VTLabelLayoutTemplate::HitTest(float x, float y)
{
    if (format != VTTemplateFormatDisc)
        return VTItemHitTestable::HitTest(x, y);
    // Into the position's own frame; a turn about the centre keeps the distance from it, so the
    // circle test needs only the move.
    LMatrix<float> inverse = VTPlacementMatrix(rotation, centreX, centreY);
    inverse.Invert();
    const LPointTemplate<float> p = inverse.TransformPoint(LPointTemplate<float>(x, y));
    hitFlags = 0;
    float width = 0, height = 0;
    GetDimensions(width, height);
    if (std::hypot(p.x, p.y) <= width / 2) {
        hitFlags = VTHitInside;
        return true;
    }
    return false;
}

void VTLabelLayoutTemplate::NotifyTransformChanged()
{
    notifier.Notify(&VTLabelLayoutTemplateNotifyee::EvLabelLayoutTemplatePropertiesChanged, *this);
}

// ================================================================================================
// VTLabelLayoutPage
// ================================================================================================

VTLabelLayoutPage::VTLabelLayoutPage(const VTLabelLayoutPage& source)
    : VTItemCollection<VTLabelLayoutTemplate>()
    , VTLabelLayoutTemplateNotifyee()
    , LListable<VTLabelLayoutPage>()
    , orientation(source.orientation)
{
    for (const VTLabelLayoutTemplate* item = source.first; item; item = item->next) {
        auto* copy = new VTLabelLayoutTemplate(*item);
        copy->AddNotifyee(*this);
        AddItem(copy, false);
    }
}

float VTLabelLayoutPage::GetRotationAngle() const
{
    return orientation == LPaperSizeOrientationLandscape ? -90.0f : 0.0f;
}

void VTLabelLayoutPage::NotifyItemAdded(VTLabelLayoutTemplate& item)
{
    notifier.Notify(&VTLabelLayoutPageNotifyee::EvLabelLayoutPageTemplateAdded, *this, item);
}

void VTLabelLayoutPage::NotifyItemDeleting(VTLabelLayoutTemplate& item)
{
    notifier.Notify(&VTLabelLayoutPageNotifyee::EvLabelLayoutPageTemplateDeleting, *this, item);
}

void VTLabelLayoutPage::NotifyItemsChanged()
{
    notifier.Notify(&VTLabelLayoutPageNotifyee::EvLabelLayoutPageTemplatesChanged, *this);
}

void VTLabelLayoutPage::EvLabelLayoutTemplatePropertiesChanged(VTLabelLayoutTemplate&)
{
    NotifyItemsChanged();
}

VTLabelLayoutTemplate* VTLabelLayoutPage::AddTemplate(VTTemplateFormat format, int32_t id)
{
    if (format < 0 || format >= kVTTemplateFormatCount)
        return nullptr;
    auto* item = new VTLabelLayoutTemplate(format, id);
    item->AddNotifyee(*this);
    AddItem(item, true);
    return item;
}

void VTLabelLayoutPage::SetOrientation(LPaperSizeOrientation value)
{
    if (value == orientation)
        return;
    orientation = value;
    notifier.Notify(&VTLabelLayoutPageNotifyee::EvLabelLayoutPageOrientationChanged, *this, value);
}

// ================================================================================================
// VTLabelLayout
// ================================================================================================

VTLabelLayout::VTLabelLayout() = default;

VTLabelLayout::VTLabelLayout(const VTLabelLayout& source)
    : VTLabelLayoutPageNotifyee()
    , LListable<VTLabelLayout>()
    , description(source.description)
    , printMedium(source.printMedium)
    , paperSize(source.paperSize)
    , printerTray(source.printerTray)
    , largestTemplateID(source.largestTemplateID)
    , sameFormat(source.sameFormat)
{
    std::memcpy(key, source.key, sizeof key);
    std::memcpy(name, source.name, sizeof name);
    CopyPagesFrom(source);
}

VTLabelLayout& VTLabelLayout::operator=(const VTLabelLayout& source)
{
    if (this == &source)
        return *this;
    std::memcpy(key, source.key, sizeof key);
    std::memcpy(name, source.name, sizeof name);
    description = source.description;
    printMedium = source.printMedium;
    paperSize = source.paperSize;
    printerTray = source.printerTray;
    largestTemplateID = source.largestTemplateID;
    sameFormat = source.sameFormat;
    pages.Clear();
    CopyPagesFrom(source);
    return *this;
}

VTLabelLayout::~VTLabelLayout() = default;

void VTLabelLayout::CopyPagesFrom(const VTLabelLayout& source)
{
    // Appended behind a tail pointer: copying stays linear in the number of pages.
    VTLabelLayoutPage* last = nullptr;
    for (const VTLabelLayoutPage& page : source.pages) {
        auto* copy = new VTLabelLayoutPage(page);
        copy->AddNotifyee(*this);
        pages.AddAfter(last, copy);
        last = copy;
    }
}

void VTLabelLayout::EvLabelLayoutPageOrientationChanged(
    VTLabelLayoutPage& page, LPaperSizeOrientation orientation)
{
    notifier.Notify(
        &VTLabelLayoutNotifyee::EvLabelLayoutPageOrientationChanged, *this, page, orientation);
}

void VTLabelLayout::EvLabelLayoutPageTemplateAdded(
    VTLabelLayoutPage& page, VTLabelLayoutTemplate& item)
{
    notifier.Notify(&VTLabelLayoutNotifyee::EvLabelLayoutTemplateAdded, *this, page, item);
}

void VTLabelLayout::EvLabelLayoutPageTemplateDeleting(
    VTLabelLayoutPage& page, VTLabelLayoutTemplate& item)
{
    notifier.Notify(&VTLabelLayoutNotifyee::EvLabelLayoutTemplateDeleting, *this, page, item);
}

void VTLabelLayout::EvLabelLayoutPageTemplatesChanged(VTLabelLayoutPage& page)
{
    notifier.Notify(&VTLabelLayoutNotifyee::EvLabelLayoutTemplatesChanged, *this, page);
}

VTLabelLayoutPage* VTLabelLayout::AddPage()
{
    auto* page = new VTLabelLayoutPage;
    page->AddNotifyee(*this);
    pages.AddTail(page);
    notifier.Notify(&VTLabelLayoutNotifyee::EvLabelLayoutPageAdded, *this, *page);
    return page;
}

void VTLabelLayout::DeletePage(VTLabelLayoutPage* page)
{
    bool found = false;
    for (const VTLabelLayoutPage& p : pages)
        found = found || &p == page;
    if (!found)
        return;
    notifier.Notify(&VTLabelLayoutNotifyee::EvLabelLayoutPageDeleting, *this, *page);
    page->RemoveNotifyee(*this);
    // An observer may have taken the page out already; it is deleted only when still listed.
    pages.Delete(page);
}

int32_t VTLabelLayout::NewTemplateID()
{
    bool any = false;
    int32_t largest = largestTemplateID;
    for (const VTLabelLayoutPage& page : pages) {
        for (const VTLabelLayoutTemplate* item = page.first; item; item = item->next) {
            any = true;
            if (item->id > largest)
                largest = item->id;
        }
    }
    if (!any && largestTemplateID < 0) {
        largestTemplateID = 0;
        return 0;
    }
    if (largest < INT32_MAX) {
        largestTemplateID = largest + 1;
        return largestTemplateID;
    }
    // Only a file can bring ids this high; no larger one is left, so the lowest id not in use
    // keeps the new one unique.
    for (int32_t candidate = 0;; ++candidate)
        if (!FindTemplate(candidate))
            return candidate;
}

void VTLabelLayout::SetPaperSize(LPaperSizeID id)
{
    if (printMedium == VTPrintMediumPaper && paperSize == id)
        return;
    printMedium = VTPrintMediumPaper;
    paperSize = id;
    printerTray = VTPrinterTrayInvalid;
    NotifyMediumChanged();
}

void VTLabelLayout::SetPrinterTray(VTPrinterTrayID id)
{
    printMedium = VTPrintMediumDisc;
    paperSize = LPaperSizeInvalid;
    printerTray = id;
    VTLabelLayoutPage* page = pages.GetHead();
    if (page && !pages.GetNext(page) && page->GetCount() == 1) {
        const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(id);
        page->first->centreX = tray.offsetX;
        page->first->centreY = tray.offsetY;
        page->first->NotifyTransformChanged();
    }
    NotifyMediumChanged();
}

void VTLabelLayout::GetPageDimensions(float& width, float& height) const
{
    if (printMedium == VTPrintMediumDisc) {
        const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(printerTray);
        width = tray.width;
        height = tray.height;
        return;
    }
    double w = 0, h = 0;
    LPaperSizeGetPhysicalDimensionsMm(paperSize, w, h);
    width = float(w);
    height = float(h);
}

void VTLabelLayout::NotifyMediumChanged()
{
    notifier.Notify(&VTLabelLayoutNotifyee::EvLabelLayoutMediumChanged, *this);
}

VTLabelLayoutTemplate* VTLabelLayout::FindTemplate(int32_t id) const
{
    for (const VTLabelLayoutPage& page : pages)
        for (VTLabelLayoutTemplate* item = page.first; item; item = item->next)
            if (item->id == id)
                return item;
    return nullptr;
}

const char* VTLabelLayout::GetSaveProblem() const
{
    if (!key[0])
        return "Etikettlayouten kan inte sparas: den saknar nyckel.";
    if (printMedium == VTPrintMediumDisc) {
        if (!VTPrinterTrayGet(printerTray))
            return "Etikettlayouten kan inte sparas: skrivaren för utskrivbara skivor finns inte. "
                   "Välj en skrivare.";
    } else if (printMedium == VTPrintMediumPaper) {
        if (!((paperSize >= LPaperSizeA0 && paperSize <= LPaperSizeManual)
                || paperSize == LPaperSizeCustom))
            return "Etikettlayouten kan inte sparas: pappersstorleken är ogiltig.";
    } else {
        return "Etikettlayouten kan inte sparas: utskriftsmediet är ogiltigt.";
    }
    bool anyTemplate = false;
    for (const VTLabelLayoutPage& page : pages) {
        if (!page.first)
            continue;
        anyTemplate = true;
        if (page.orientation != LPaperSizeOrientationPortrait
            && page.orientation != LPaperSizeOrientationLandscape)
            return "Etikettlayouten kan inte sparas: en sida har en ogiltig orientering.";
        for (const VTLabelLayoutTemplate* item = page.first; item; item = item->next) {
            if (item->format < 0 || item->format >= kVTTemplateFormatCount || !item->templateData)
                return "Etikettlayouten kan inte sparas: en etikett har ett ogiltigt format.";
            if (item->id == -1)
                return "Etikettlayouten kan inte sparas: en etikett saknar ID.";
            if (!std::isfinite(item->centreX) || !std::isfinite(item->centreY)
                || !std::isfinite(item->rotation))
                return "Etikettlayouten kan inte sparas: en etikett har en ogiltig placering.";
            bool finite = true;
            if (item->format == VTTemplateFormatCaseDVD
                || item->format == VTTemplateFormatCaseBluRay)
                finite = std::isfinite(item->templateData->GetSpineWidth());
            else if (item->format == VTTemplateFormatDisc) {
                if (const auto* disc = dynamic_cast<const VTTemplateDataDiscCDDVDStandard*>(
                        item->GetTemplateData())) {
                    float outer = 0, inner = 0, bandOuter = 0, bandInner = 0;
                    bool band = false;
                    disc->GetDiscPrintableArea(outer, inner, band, bandOuter, bandInner);
                    finite = std::isfinite(outer) && std::isfinite(inner)
                        && std::isfinite(bandOuter) && std::isfinite(bandInner);
                }
            }
            if (!finite)
                return "Etikettlayouten kan inte sparas: en etikett har ogiltiga mått.";
        }
    }
    if (!anyTemplate)
        return "Etikettlayouten kan inte sparas: ingen sida innehåller någon etikett.";
    if (largestTemplateID < 0)
        return "Etikettlayouten kan inte sparas: den saknar senast använda mall-ID.";
    return nullptr;
}
