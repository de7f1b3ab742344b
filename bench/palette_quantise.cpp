// The palette benchmark's command: the framework's palettes as a whole process, file in and file
// out, timed beside ImageMagick's and netpbm's commands the same way.
//
//   palette_quantise octree|median-cut IN.ppm OUT.ppm   256 colours, mapped without dithering
//   palette_quantise remap MAP.ppm IN.ppm OUT.ppm       the map's pixels as the palette,
//                                                       Floyd-Steinberg dithering
//   palette_quantise gif IN.ppm OUT.gif                 the GIF writer (its own palette)
//
// Ends with 0 when the result was written, 1 when not, 2 for unusable arguments.
#include "bench/PaletteWork.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "";
    bool ok = false;
    double paletteTime = 0, mapTime = 0;
    if ((what == "octree" || what == "median-cut") && argc == 4)
        ok = palettework::Quantise(
            argv[2], argv[3], what == "octree" ? 0 : 1, paletteTime, mapTime);
    else if (what == "remap" && argc == 5)
        ok = palettework::Remap(argv[2], argv[3], argv[4]);
    else if (what == "gif" && argc == 4)
        ok = palettework::WriteGIF(argv[2], argv[3]);
    else {
        std::fprintf(stderr,
            "usage: palette_quantise octree|median-cut IN.ppm OUT.ppm\n"
            "       palette_quantise remap MAP.ppm IN.ppm OUT.ppm\n"
            "       palette_quantise gif IN.ppm OUT.gif\n");
        return 2;
    }
    if (!ok)
        std::fprintf(stderr, "palette_quantise: %s failed\n", what.c_str());
    return ok ? 0 : 1;
}
