// The old XML project reader on arbitrary bytes: the XML reader, then the project reader. It must
// end with 0 or 2 (an error text set), and a project it accepts must hold one label position per
// design, each design mapped to its position, with finite, non-negative overlay boxes that paint
// without harm.
#include "app/VTLabelLayout.h"
#include "app/VTOverlay.h"
#include "app/VTProject.h"
#include "app/VTProjectXML.h"
#include "lfw/gen/LXML.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/LPaintSurface.h"

#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

class ErrorProcess : public LProcessInterfaceVoid {
public:
    void SetError(const char* text) override { error = text ? text : ""; }
    std::string error;
};

void PaintDesign(VTProjectTemplate& design)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
    cairo_t* cr = cairo_create(surface);
    {
        LPaintContext ctx(cr, 32, 32);
        for (VTOverlay* overlay = design.first; overlay; overlay = overlay->next) {
            ctx.SaveGState();
            LPaintSurface::Transform(ctx,
                VTPlacementMatrix(overlay->rotation, overlay->centreX, overlay->centreY)
                    * LMatrix<float>::Scaling(0.1f, 0.1f)
                    * LMatrix<float>::Translation(16.0f, 16.0f));
            overlay->Paint(ctx);
            ctx.RestoreGState();
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void Check(VTProject& project)
{
    VTLabelLayout* layout = project.GetLabelLayout();
    if (!layout || project.templates.IsEmpty())
        __builtin_trap();
    size_t positions = 0;
    for (const VTLabelLayoutPage& page : layout->pages)
        positions += page.GetCount();
    if (positions != project.templates.GetCount())
        __builtin_trap();
    for (VTProjectTemplate& design : project.templates) {
        if (!design.mappedIDs.GetHead())
            __builtin_trap();
        const VTLabelLayoutTemplate* position
            = layout->FindTemplate(design.mappedIDs.GetHead()->id);
        if (!position || position->GetFormat() != design.GetFormat())
            __builtin_trap();
        for (VTOverlay* o = design.first; o; o = o->next)
            if (!std::isfinite(o->centreX) || !std::isfinite(o->centreY) || !(o->width >= 0)
                || !(o->height >= 0) || !std::isfinite(o->width) || !std::isfinite(o->height))
                __builtin_trap();
        PaintDesign(design);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(size + 1);
    if (size)
        std::memcpy(text.data(), data, size);
    text[size] = 0;
    char error[260];
    LXMLDocument document;
    document.LoadFromText(nullptr, text.data(), error);

    ErrorProcess process;
    VTProject project;
    const LProcessResult result = VTProjectSerialiseFromXML(process, project, document);
    if (result == LProcessResultSuccess)
        Check(project);
    else if (result != LProcessResultError || process.error.empty())
        __builtin_trap();
    return 0;
}
