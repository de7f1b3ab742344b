#include "app/VTSlicedPicture.h"

#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LPaintSurface.h"

#include <cmath>
#include <cstring>
#include <utility>

VTSlicedPicture::VTSlicedPicture(LPaintControl& owner)
    : control(owner)
{
}

VTSlicedPicture::~VTSlicedPicture()
{
    Release();
}

void VTSlicedPicture::Release()
{
    shown.Release();
    building.Release();
}

void VTSlicedPicture::SliceDue(LRunLoopTimer*, void* data)
{
    static_cast<VTSlicedPicture*>(data)->control.Update();
}

void VTSlicedPicture::Picture::Release()
{
    if (surface)
        cairo_surface_destroy(surface);
    surface = nullptr;
    design = nullptr;
    painted = 0;
    complete = false;
}

bool VTSlicedPicture::Picture::Fits(
    const void* shownDesign, int w, int h, const LMatrix<float>& at) const
{
    return surface && design == shownDesign && width == w && height == h
        && std::memcmp(placement.m, at.m, sizeof placement.m) == 0;
}

bool VTSlicedPicture::Paint(LPaintContext& context, const void* design, unsigned long long version,
    const LMatrix<float>& placement, const PaintPart& part)
{
    cairo_t* cr = context.GetPlatformContext();
    const int W = control.GetWidth(), H = control.GetHeight();
    if (!cr || !design || W < 1 || H < 1)
        return false;
    if (!shown.Fits(design, W, H, placement))
        shown.Release();
    // The last whole picture shows the design as it is, and no other is being made: it is all
    // there is to show.
    const bool shownCurrent = !stale && shown.surface && shown.version == version
        && (!building.surface || building.complete);
    if (!shownCurrent
        && (stale || !building.surface || !building.Fits(design, W, H, placement)
            || building.version != version)) {
        // A new picture, made beside the target (on the display's side), a pixel a unit.
        if (!building.surface || building.width != W || building.height != H) {
            building.Release();
            // Sized in the target's units, which its scale makes device pixels.
            cairo_surface_t* target = cairo_get_target(cr);
            double sx = 1, sy = 1;
            cairo_surface_get_device_scale(target, &sx, &sy);
            building.surface = cairo_surface_create_similar(
                target, CAIRO_CONTENT_COLOR_ALPHA, int(std::ceil(W / sx)), int(std::ceil(H / sy)));
            if (cairo_surface_status(building.surface) != CAIRO_STATUS_SUCCESS) {
                building.Release();
                return false;
            }
            cairo_surface_set_device_scale(building.surface, 1, 1);
        }
        building.design = design;
        building.version = version;
        building.width = W;
        building.height = H;
        building.placement = placement;
        building.painted = 0;
        building.complete = false;
        stale = false;
    }
    whole = shownCurrent || building.complete;
    if (!whole) {
        cairo_t* into = cairo_create(building.surface);
        const bool begin = building.painted == 0;
        if (begin) {
            cairo_set_operator(into, CAIRO_OPERATOR_CLEAR);
            cairo_paint(into);
            cairo_set_operator(into, CAIRO_OPERATOR_OVER);
        }
        {
            LPaintContext slice(into, W, H);
            slice.SetView(context.GetView());
            slice.SetClientRect(0, 0, W, H);
            slice.mForScreen = context.mForScreen;
            LPaintSurface::TransformReset(slice, placement);
            building.complete = part(slice, begin, LRunLoop::NowMs() + kVTPaintSliceMs);
            ++building.painted;
            LPaintSurface::TransformReset(slice);
            if (slice.mPicturesPending)
                context.mPicturesPending = true;
        }
        cairo_destroy(into);
        if (building.complete) {
            std::swap(shown, building);
            whole = true;
        }
    }
    // The last whole picture while the next one is made; the first one as far as it got.
    const Picture& source = shown.surface ? shown : building;
    if (source.surface) {
        cairo_save(cr);
        cairo_matrix_t base = context.GetBaseTransform();
        cairo_set_matrix(cr, &base);
        cairo_set_source_surface(cr, source.surface, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    if (!whole)
        nextSlice.Arm(0);
    return true;
}
