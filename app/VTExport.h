// Exporting a page of a project's label layout: as a one-page vector PDF file (through the PDF
// writer, on a temporary file that replaces the target only when the whole file was written), or
// as an image file at 300 pixels per inch (painted into an image buffer and saved through the
// codec table). The codec rules say which image formats are offered for export and for opening.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTProject.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LPDFWriter.h"

// The PDF export job's record.
struct VTExport {
    const char* targetPath = nullptr;
    VTProject* project = nullptr;
    VTLabelLayoutPage* page = nullptr; // never null
};

// Writes the page as a PDF file: the layout's paper (A4 for a disc layout) in the page's
// orientation, one point per pixel. 0 written, 1 stopped, 2 failed with "PDF-export
// misslyckades. Kontrollera med målfilen."; the target is untouched unless the file was written
// whole. The temporary file never remains.
LProcessResult Process(LProcessInterface& process, VTExport& job);

// Paints the page into the writer's open document: begins a page, paints the sheet in a box of
// the sheet's size at the page's top-left corner (the whole page for paper layouts), ends it.
// 0 done, 1 stopped.
template <class W>
LProcessResult PrintingPDFFunction(W& writer, VTExport& job, LProcessInterface& process);

// The PDF twin of PaintTemplatesAndOverlays: the same order and clipping.
void VTExportPaintTemplatesAndOverlaysPDF(LPDFWriter& writer, VTProject& project,
    const VTLabelLayoutPage* page, bool paintOutlines, float outlineWidth);

// The sheet box in mm, centred on (0, 0): the printer tray's page for a disc layout, the paper
// for a paper layout (0 x 0 otherwise), with width and height exchanged when the page's
// rotation is an odd number of quarter turns.
void VTSheetBox(
    const VTLabelLayout* layout, const VTLabelLayoutPage& page, float& width, float& height);
// The transform that puts the sheet's centre at the centre of a width x height mm box at the
// origin, turned by the page's rotation, scaled by units per mm.
LMatrix<float> VTSheetTransform(
    float angleDegrees, float boxWidth, float boxHeight, float unitsPerMm);

// The pixels an image needs for a length in mm at a resolution: whole pixels, rounded up after
// rounding to a thousandth of a pixel (A4 at 300 dpi is 2481 x 3508, Letter 2550 x 3300).
double VTImagePixels(float mm, unsigned long pixelsPerInch);
// The page painted at a resolution (pixels per inch) into a new B8G8R8A8 buffer of the sheet's
// size (VTImagePixels) on opaque white, outlines drawn; the buffer carries the resolution. False
// (buffer empty) when the sheet has no size or the buffer cannot be made.
bool VTRenderPageToImage(LImageBuffer& image, VTProject& project, const VTLabelLayoutPage& page,
    unsigned long pixelsPerInch);

// The image export job's record: the codec follows the target's extension and must be one the
// export rule offers.
struct VTImageExport {
    const char* targetPath = nullptr;
    VTProject* project = nullptr;
    VTLabelLayoutPage* page = nullptr;
    unsigned long pixelsPerInch = 300;
};
// 0 written, 1 stopped, 2 failed with the error text set; the target is untouched on failure.
LProcessResult Process(LProcessInterface& process, VTImageExport& job);

// Image formats offered for export: JPEG, JPEG 2000, PNG and TIFF, where the framework's rule
// allows them.
class VTImageExportCodecVetoer : public LImageCodecVetoer {
public:
    bool IsEnabled(LImageCodec codec, LImageIOType type) const override;
};

// Image formats offered for opening as image overlays and backgrounds: BMP, GIF, JPEG, PCX, PNG,
// PNM, PSD, RAS, TGA, TIFF and WBMP, where the framework's rule allows them.
class VTImageCodecVetoer : public LImageCodecVetoer {
public:
    bool IsEnabled(LImageCodec codec, LImageIOType type) const override;
};
