// Screenshots of the whole screen kept as e2e::Shot keeps them (<build>/<folder>/NN-name.png,
// "-scale2" and "-wm" added for those runs), taken through the test's own connection to the X
// server and written with cairo: ImageMagick's import took half a second a picture, a test that
// keeps one beside each alert spent seconds on them.
#pragma once

#include "support/E2eSession.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

// After the test framework (E2eSession.h brings it): Xlib's names would stand for numbers in its
// headers.
#include "support/XServerView.h"

namespace e2e {

// Answers the file's path ("" when the screen could not be read or the file not written).
inline std::string ScreenShot(const std::string& name, const std::string& folder = "e2e")
{
    const std::string path = ShotPath(name, folder);
    XServerView view;
    const XRect screen = view.Screen();
    const std::vector<uint32_t> pixels = view.Pixels(screen);
    if (pixels.empty())
        return "";
    cairo_surface_t* s
        = cairo_image_surface_create(CAIRO_FORMAT_RGB24, screen.width, screen.height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            reinterpret_cast<uint32_t*>(data + y * stride)[x]
                = pixels[size_t(y) * size_t(screen.width) + size_t(x)];
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok ? path : "";
}

} // namespace e2e
