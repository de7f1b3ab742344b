#include "app/VTExport.h"

#include "app/VTPaintTemplatesAndOverlays.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileSave.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LImageBufferPainter.h"
#include "lfw/mac/LPaintSurface.h"

#include <cmath>
#include <cstring>
#include <unistd.h>

namespace {

constexpr double kPointsPerMm = 2.8346457;
constexpr const char* kPDFExportFailed = "PDF-export misslyckades. Kontrollera med målfilen.";

LProcessResult Fail(LProcessInterface& process, const char* text)
{
    process.SetError(text);
    return LProcessResultError;
}

} // namespace

// ================================================================================================
// Sheet geometry
// ================================================================================================

void VTSheetBox(
    const VTLabelLayout* layout, const VTLabelLayoutPage& page, float& width, float& height)
{
    width = height = 0;
    if (layout && layout->printMedium == VTPrintMediumDisc) {
        if (VTPrinterTrayGet(layout->printerTray)) {
            const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(layout->printerTray);
            width = tray.width;
            height = tray.height;
        }
    } else if (layout && layout->printMedium == VTPrintMediumPaper) {
        double w = 0, h = 0;
        LPaperSizeGetPhysicalDimensionsMm(layout->paperSize, w, h);
        width = float(w);
        height = float(h);
    }
    const long quarterTurns = std::lround(page.GetRotationAngle() / 90.0f);
    if (quarterTurns % 2 != 0)
        std::swap(width, height);
}

LMatrix<float> VTSheetTransform(
    float angleDegrees, float boxWidth, float boxHeight, float unitsPerMm)
{
    float s = 0, c = 1;
    VTSinCosDegrees(angleDegrees, s, c);
    const float k = unitsPerMm;
    LMatrix<float> m;
    m.m[0][0] = k * c;
    m.m[0][1] = k * s;
    m.m[1][0] = -k * s;
    m.m[1][1] = k * c;
    m.m[3][0] = k * boxWidth / 2;
    m.m[3][1] = k * boxHeight / 2;
    return m;
}

// ================================================================================================
// PDF
// ================================================================================================

void VTExportPaintTemplatesAndOverlaysPDF(LPDFWriter& writer, VTProject& project,
    const VTLabelLayoutPage* page, bool paintOutlines, float outlineWidth)
{
    if (!page)
        return;
    LPaintContext& ctx = writer.GetPaintContext();
    for (const VTLabelLayoutTemplate* position = page->first; position; position = position->next) {
        if (!VTIsPaintablePosition(*position))
            continue;
        LGraphicsPath positionClip;
        if (VTTemplateData* data = position->GetTemplateData())
            data->GetClippingPath(positionClip);
        ctx.SaveGState();
        LPaintSurface::Transform(
            ctx, VTPlacementMatrix(position->rotation, position->centreX, position->centreY));
        ctx.SaveGState();
        LPaintSurface::ClipIntersect(ctx, positionClip);
        VTProjectTemplate* design = VTFindDesignForPosition(project, position->id);
        if (!design) {
            ctx.RestoreGState();
            ctx.RestoreGState();
            continue;
        }
        LGraphicsPath designClip;
        if (VTTemplateData* data = design->GetTemplateData())
            data->GetClippingPath(designClip);
        ctx.SaveGState();
        LPaintSurface::ClipIntersect(ctx, designClip);
        if (design->backgroundBrush && design->GetTemplateData())
            design->GetTemplateData()->PaintBackground(writer, design->backgroundBrush.Get());
        ctx.RestoreGState();
        for (VTOverlay* overlay = design->first; overlay; overlay = overlay->next) {
            if (!VTIsPaintableOverlay(*overlay))
                continue;
            ctx.SaveGState();
            LPaintSurface::Transform(ctx, VTOverlayPaintMatrix(*overlay));
            overlay->Paint(writer);
            ctx.RestoreGState();
        }
        ctx.RestoreGState();
        if (paintOutlines && design->GetTemplateData())
            design->GetTemplateData()->PaintOutline(writer, kVTTemplateOutlineColour, outlineWidth);
        ctx.RestoreGState();
    }
}

template <class W>
LProcessResult PrintingPDFFunction(W& writer, VTExport& job, LProcessInterface& process)
{
    process.SetStatus("Skapa PDF-dokument.", 0);
    process.SetProgress(0);
    if (process.IsToStop())
        return LProcessResultStopped;
    writer.BeginPage();
    LPaintContext& ctx = writer.GetPaintContext();
    ctx.SaveGState();
    writer.SetOpenPages(writer.GetOpenPages() + 1);

    process.SetStatus("Skriva till PDF-dokument.", 0);
    process.SetProgress(0.1);
    LProcessResult result = LProcessResultSuccess;
    if (process.IsToStop()) {
        result = LProcessResultStopped;
    } else if (job.project && job.page) {
        float width = 0, height = 0;
        VTSheetBox(job.project->GetLabelLayout(), *job.page, width, height);
        writer.TransformReset(
            VTSheetTransform(job.page->GetRotationAngle(), width, height, float(kPointsPerMm)));
        VTExportPaintTemplatesAndOverlaysPDF(
            writer, *job.project, job.page, true, VTPrintTemplateOutlineWidthGet());
        process.SetStatus("Stänga PDF-dokument.", 0);
        process.SetProgress(1.0);
    }
    ctx.RestoreGState();
    writer.EndPage();
    writer.SetOpenPages(writer.GetOpenPages() - 1);
    return result;
}

template LProcessResult PrintingPDFFunction(LPDFWriter&, VTExport&, LProcessInterface&);

LProcessResult Process(LProcessInterface& process, VTExport& job)
{
    char file[kLPathSize] = "";
    if (job.targetPath)
        LFile::_GetFileFromPath(file, job.targetPath);
    process.SetStatusF(0, "Spara etikettlayouten på %.259s", file);
    process.SetStatus("Vänligen vänta...", 1);
    process.SetProgress(0);
    if (!job.targetPath || !*job.targetPath || !job.project || !job.page)
        return Fail(process, kPDFExportFailed);

    // The PDF is written under a temporary name beside the target and renamed over it whole.
    LFileSave save;
    LFileSaveProcess saving(process, save);
    if (!save.Begin(job.targetPath))
        return Fail(saving, kPDFExportFailed);

    const VTLabelLayout* layout = job.project->GetLabelLayout();
    LPaperSizeID paper = layout && layout->printMedium == VTPrintMediumPaper ? layout->paperSize
                                                                             : LPaperSizeInvalid;
    LProcessResult result;
    bool written = false;
    {
        LPDFWriter writer(save.GetTemporaryPath(), paper, job.page->orientation, 72);
        // Packing the pictures into the file takes seconds: a stop (the user's, or the
        // program's end) ends it at the picture under way.
        writer.SetStopQuery([&process] { return process.IsToStop(); });
        process.SetProgress(0.3);
        LProcessInterfaceSubProcess sub(process, 0.3, 0.7);
        result = PrintingPDFFunction(writer, job, sub);
        // The file is finished here; a failed write or a drawing error of the PDF library
        // means the file is not whole.
        written = writer.Close();
        if (writer.Stopped())
            result = LProcessResultStopped;
        else if (!written)
            save.NoteWriteError(writer.GetWriteError());
    }
    if (result == LProcessResultSuccess && !written)
        result = Fail(saving, kPDFExportFailed);
    if (result != LProcessResultSuccess)
        save.Discard();
    else if (!save.Commit())
        result = Fail(saving, kPDFExportFailed);
    return result;
}

// ================================================================================================
// Images
// ================================================================================================

double VTImagePixels(float mm, unsigned long pixelsPerInch)
{
    // Rounded to a thousandth of a pixel first, so that a size that is exact in inches (Letter's
    // 8.5 x 11) does not gain a pixel from the rounding of its millimetres.
    double px = std::round(double(mm) * double(pixelsPerInch) / 25.4 * 1000.0) / 1000.0;
    return px > 0 ? std::ceil(px) : 0;
}

bool VTRenderPageToImage(LImageBuffer& image, VTProject& project, const VTLabelLayoutPage& page,
    unsigned long pixelsPerInch)
{
    image.Reset();
    float width = 0, height = 0;
    VTSheetBox(project.GetLabelLayout(), page, width, height);
    const double unitsPerMm = double(pixelsPerInch) / 25.4;
    const double w = VTImagePixels(width, pixelsPerInch);
    const double h = VTImagePixels(height, pixelsPerInch);
    if (!(w >= 1 && h >= 1 && w <= 0x7FFFFFFF && h <= 0x7FFFFFFF)
        || !LImageSizeAcceptable(int64_t(w), int64_t(h)))
        return false;
    LImageFormat format(LPixelFormatB8G8R8A8, int(w), int(h));
    format.horizontalResolution = format.verticalResolution
        = int32_t(std::lround(double(pixelsPerInch) / 0.0254));
    image.AllocateNewBuffer(format);
    LProcessInterfaceVoid quiet;
    if (!image.IsValid() || image.Clear(quiet, LPixelColour(255, 255, 255, 255)) != 0) {
        image.Reset();
        return false;
    }
    // White paper: every pixel is opaque and stays so, whatever is drawn over it.
    LImageBufferPainterDirect painter(image, true);
    if (!painter.HasDrawingContext()) {
        image.Reset();
        return false;
    }
    LPaintContext& ctx = painter.GetPaintContext();
    LPaintSurface::TransformReset(
        ctx, VTSheetTransform(page.GetRotationAngle(), width, height, float(unitsPerMm)));
    PaintTemplatesAndOverlays(ctx, project, &page, true, VTPrintTemplateOutlineWidthGet());
    return true;
}

LProcessResult Process(LProcessInterface& process, VTImageExport& job)
{
    if (!job.targetPath || !*job.targetPath || !job.project || !job.page)
        return Fail(process, "Det gick inte att spara bilden");
    VTImageExportCodecVetoer vetoer;
    LImageCodec codec;
    if (!codec.InitFromFilePath(job.targetPath))
        return Fail(process, "Filtypen känns inte igen.");
    if (!vetoer.IsEnabled(codec, LImageIOTypeSave))
        return Fail(process, "Filformatet stöds inte.");
    LImageBuffer image;
    {
        // The painter is finished (the pixels back in straight alpha) before the picture is
        // saved.
        if (!VTRenderPageToImage(image, *job.project, *job.page, job.pixelsPerInch))
            return Fail(process, "Det gick inte att spara bilden");
    }
    if (process.IsToStop())
        return LProcessResultStopped;
    LImageEncodeSettings settings;
    LProcessImageSaveFile save(image, job.targetPath, settings, 3000, &vetoer);
    return Process(process, save);
}

// ================================================================================================
// Codec rules
// ================================================================================================

bool VTImageExportCodecVetoer::IsEnabled(LImageCodec codec, LImageIOType type) const
{
    if (!LImageCodecVetoer::IsEnabled(codec, type))
        return false;
    switch (uint32_t(codec)) {
    case LImageCodec::JPEG:
    case LImageCodec::JPEG2000:
    case LImageCodec::PNG:
    case LImageCodec::TIFF:
        return true;
    default:
        return false;
    }
}

bool VTImageCodecVetoer::IsEnabled(LImageCodec codec, LImageIOType type) const
{
    if (!LImageCodecVetoer::IsEnabled(codec, type))
        return false;
    switch (uint32_t(codec)) {
    case LImageCodec::BMP:
    case LImageCodec::GIF:
    case LImageCodec::JPEG:
    case LImageCodec::PCX:
    case LImageCodec::PNG:
    case LImageCodec::PNM:
    case LImageCodec::PSD:
    case LImageCodec::RAS:
    case LImageCodec::TGA:
    case LImageCodec::TIFF:
    case LImageCodec::WBMP:
        return true;
    default:
        return false;
    }
}
