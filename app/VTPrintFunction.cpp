#include "app/VTPrintFunction.h"

#include "app/VTExport.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/ui/LRunLoop.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
// The time a slice of a printed page is painted in before the print is asked whether it stopped.
constexpr long long kPartMs = 20;

void AppendF(LStringLongTemplate<char>& text, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void AppendF(LStringLongTemplate<char>& text, const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    text.Append(buffer);
}

} // namespace

LMatrix<float> VTPrintFunctionClass::SheetTransform(const VTLabelLayout* layout,
    const VTLabelLayoutPage& page, double paperWidth, double paperHeight)
{
    float w = 0, h = 0;
    VTSheetBox(layout, page, w, h);
    if (!(w > 0 && h > 0)) {
        w = float(paperWidth / kPointsPerMm);
        h = float(paperHeight / kPointsPerMm);
    }
    return VTSheetTransform(page.GetRotationAngle(), w, h, float(kPointsPerMm));
}

void VTPrintFunctionClass::Print(LPrintSurface& surface)
{
    if (!page)
        return;
    pageStartError = surface.StartPage();
    // A page that did not start has no drawing context: it is skipped, not painted on nothing.
    if (pageStartError != 0)
        return;
    const float w = printableSize ? printableSize[0] : 0;
    const float h = printableSize ? printableSize[1] : 0;
    if (project && w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h)) {
        LPaintContext& ctx = surface.GetPaintContext();
        // On the paper's coordinates, as the PDF export paints its page.
        LPaintSurface::TransformReset(ctx,
            SheetTransform(project->GetLabelLayout(), *page, surface.GetPaperWidth(),
                surface.GetPaperHeight()));
        // A slice at a time: a print stopped (from its progress window, or by the program's
        // end, which waits for the page) ends within a slice, not after a page of many thousand
        // overlays.
        const float outlineWidth = VTPrintTemplateOutlineWidthGet();
        VTPagePaintPlace place;
        bool begin = true;
        while (!PaintTemplatesAndOverlaysPart(ctx, *project, page, paintOutlines, outlineWidth,
                   place, begin, LRunLoop::NowMs() + kPartMs)
            && !surface.IsStopped())
            begin = false;
    }
    surface.EndPage();
}

void VTPrintFunctionClass::BuildPaperQuestion(
    LStringLongTemplate<char>& text, const VTLabelLayout& layout, const LPrintSettings& s)
{
    text = "";
    if (layout.printMedium != VTPrintMediumPaper || s.paperSize == layout.paperSize)
        return;
    text = "Den medelstora storlek som du har valt att skriva ut på skiljer sig från den "
           "medelstora storlek som föreslås i den här mallen.";
    if (s.paperSize == LPaperSizeA4 || s.paperSize == LPaperSizeUSLetter) {
        AppendF(text, "\n\nPapper storlek vald: %s\nPapper storlek föreslås: %s",
            LPaperSizeGetDisplayName(s.paperSize), LPaperSizeGetDisplayName(layout.paperSize));
        return;
    }
    double width = 0, height = 0;
    const char* suffix = "";
    switch (LUnitsGetMeasurementUnit()) {
    case 0:
        width = s.paperWidth;
        height = s.paperHeight;
        suffix = "mm";
        break;
    case 1:
        width = s.paperWidth / 25.4;
        height = s.paperHeight / 25.4;
        suffix = "in";
        break;
    default:
        break;
    }
    AppendF(text,
        "\n\nMedium dimensions selected:\n   %.2f%s x %.2f%s\n\nMedium size suggested:\n   "
        "Standard %s",
        width, suffix, height, suffix, LPaperSizeGetDisplayName(layout.paperSize));
}

bool VTPrintFunctionClass::CanPrint(LView* owner, LPrintSettings& settings)
{
    const VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    if (!layout || layout->printMedium != VTPrintMediumPaper
        || settings.paperSize == layout->paperSize)
        return true;
    LStringLongTemplate<char> text;
    BuildPaperQuestion(text, *layout, settings);
    return LAlertWithButtonText::DisplayYesNoWarningDefaultNo(
        owner, text.GetString(), " Utskrift", "Fortsätt skriva ut", "Avbryt");
}

void VTPrintSettingsForLayout(
    LPrintSettings& settings, const VTLabelLayout& layout, const VTLabelLayoutPage& page)
{
    settings = LPrintSettings();
    settings.orientation = page.orientation;
    settings.copies = 1;
    settings.firstPage = 1;
    settings.lastPage = 65535;
    if (layout.printMedium == VTPrintMediumPaper) {
        settings.imageableWidth = settings.imageableHeight = 1;
        settings.paperWidth = settings.paperHeight = 1;
        settings.paperSize = layout.paperSize;
        return;
    }
    settings.paperSize = LPaperSizeCustom;
    const VTPrinterTray* printer = VTPrinterTrayGet(layout.printerTray);
    const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(layout.printerTray);
    settings.paperWidth = printer ? tray.width : 0;
    settings.paperHeight = printer ? tray.height : 0;
    settings.paperSizeKnown = true;
    settings.imageableWidth = settings.imageableHeight = 119.5f;
    settings.imageableSizeKnown = true;
}
