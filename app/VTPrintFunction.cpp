#include "app/VTPrintFunction.h"

#include "app/VTPaintTemplatesAndOverlays.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LPaintSurface.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

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

LMatrix<float> VTPrintFunctionClass::SheetTransform(float angle, float w, float h, float W, float H)
{
    const float sx = W / w, sy = H / h;
    float s = 0, c = 1;
    VTSinCosDegrees(angle, s, c);
    LMatrix<float> m;
    m.m[0][0] = sx * c;
    m.m[0][1] = sy * s;
    m.m[1][0] = -sx * s;
    m.m[1][1] = sy * c;
    m.m[3][0] = sx * w / 2;
    m.m[3][1] = sy * h / 2;
    return m;
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
        LPaintSurface::TransformReset(ctx,
            SheetTransform(page->GetRotationAngle(), w, h, float(surface.GetPageWidth()),
                float(surface.GetPageHeight())));
        PaintTemplatesAndOverlays(
            ctx, *project, page, paintOutlines, VTPrintTemplateOutlineWidthGet());
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
