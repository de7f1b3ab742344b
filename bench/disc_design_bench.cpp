// A disc design painted at 300 dpi (120 mm = 1418 x 1418 pixels, as rsvg-convert rounds it) into
// an image buffer: a gradient background clipped to the printable ring, two 4-megapixel pictures
// (one turned, one mirrored), five text overlays and a circular text of 60 characters.
//
// BM_DiscDesignPaint paints the design alone, from pictures decoded in memory (argument 0), or
// one kind of element of it (1-4), to show where the time goes.
//
// For comparison the same design is written as an SVG file (pictures as JPEG files beside it,
// the arc text as one placed text element per character) and rendered by rsvg-convert -d 300 in a
// child process. The pairs do the same work on both sides:
//
//   BM_DiscDesignFromFiles_Ours       against BM_DiscDesignFromFiles_Rsvg: the two JPEG files
//                                     decoded, the design built and painted, and written as an
//                                     RGBA PNG at zlib's default level (what rsvg-convert writes)
//   BM_DiscDesignNoPictures_Ours      against BM_DiscDesignNoPictures_Rsvg: the same without the
//                                     pictures
//
// Both sides' files are checked once: the same size, colour type and compression level, and the
// pixels compared (psnr in dB; the texts are laid out by different engines, so they are close
// rather than equal).

#include "app/VTBackgroundFill.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTTemplateData.h"
#include "bench/BenchSupport.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LImageBufferPainter.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/imageio/ImageIO.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kPixels = 1418; // 120 mm at 300 dpi are 1417.3 pixels
constexpr float kPixelsPerMm = 300 / 25.4f;
constexpr int kPictureWidth = 2309, kPictureHeight = 1732; // 4.0 megapixels
constexpr float kMmPerPoint = 25.4f / 72.0f; // font sizes are points
const char kArcText[] = "VORANTEL SKIVETIKETT - LÅTLISTA OCH OMSLAG - SIDA A - 2026 -";

// A smooth picture with some detail, so that scaling has work to do.
void MakePicture(LImageBuffer& b, int seed)
{
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, kPictureWidth, kPictureHeight));
    for (int y = 0; y < kPictureHeight; ++y) {
        unsigned char* row = b.GetPictureRow(y);
        for (int x = 0; x < kPictureWidth; ++x) {
            row[4 * x + 0] = uint8_t((x * 255) / kPictureWidth);
            row[4 * x + 1] = uint8_t((y * 255) / kPictureHeight);
            row[4 * x + 2] = uint8_t(((x ^ y) + seed * 77) & 255);
            row[4 * x + 3] = 255;
        }
    }
}

struct Design {
    VTTemplateDataDiscCDDVDStandard disc;
    LBrushInfo background;
    std::vector<std::unique_ptr<VTOverlay>> overlays;
    LImageBuffer pictures[2];
};

// Where the design's pictures come from.
enum class Pictures { kMade, kFromFiles, kNone };

struct TextSample {
    const char* text;
    const char* face;
    int size;
    float x, y, w, h, rotation;
    LAlignment alignment;
    LPFB8G8R8A8 colour;
};

const TextSample kTexts[5] = {
    { "Vorantel", "DejaVu Sans", 9, 0, -38, 80, 12, 0, 4, { 40, 20, 160, 255 } },
    { "1. Inledning\n2. Skivans sida A\n3. Mellanspel", "DejaVu Serif", 3, -28, 36, 40, 14, 0, 0,
        { 0, 0, 0, 255 } },
    { "4. Kväll\n5. Natt\n6. Gryning", "DejaVu Serif", 3, 22, 36, 36, 14, 0, 2, { 0, 0, 0, 255 } },
    { "Inspelad i Göteborg", "DejaVu Sans", 4, -40, 0, 40, 8, 90, 4, { 0, 90, 0, 255 } },
    { "Utgiven 2026", "DejaVu Sans", 4, 40, 0, 40, 8, 270, 4, { 120, 0, 0, 255 } },
};

bool LoadPicture(LImageBuffer& b, int index);

// Returns false when a picture file could not be read.
bool BuildDesign(Design& d, Pictures pictures = Pictures::kMade)
{
    d.background.kind = LBrushInfoKindLinearGradient;
    d.background.geometry[0] = -0.5f;
    d.background.geometry[1] = -0.5f;
    d.background.geometry[2] = 0.5f;
    d.background.geometry[3] = 0.5f;
    const uint8_t stops[4][3]
        = { { 255, 240, 200 }, { 250, 190, 120 }, { 120, 160, 230 }, { 40, 60, 130 } };
    d.background.stopCount = 4;
    for (int i = 0; i < 4; ++i) {
        d.background.stopPositions[i] = i / 3.0f;
        d.background.stopColors[i]
            = LGuiColorAlpha::FromRGBA8(stops[i][0], stops[i][1], stops[i][2], 255);
    }
    for (int i = 0; i < 2 && pictures != Pictures::kNone; ++i) {
        if (pictures == Pictures::kMade)
            MakePicture(d.pictures[i], i);
        else if (!LoadPicture(d.pictures[i], i))
            return false;
        auto image = std::make_unique<VTOverlayImage>();
        image->SetImage(d.pictures[i]);
        image->centreX = i == 0 ? -22 : 22;
        image->centreY = -8;
        if (i == 0) {
            image->Rotate(-12);
        } else {
            // Mirrored left-right, as the item collection does it.
            for (int r = 0; r < 4; ++r)
                image->transform.m[r][0] = -image->transform.m[r][0];
        }
        image->SetDimensions(38, 28.5f);
        d.overlays.push_back(std::move(image));
    }
    for (const TextSample& s : kTexts) {
        auto text = std::make_unique<VTOverlayText>(
            s.text, LGuiFontEx(LGuiFont(s.size, false, false, false, s.face, false)));
        text->centreX = s.x;
        text->centreY = s.y;
        text->width = s.w;
        text->height = s.h;
        text->rotation = s.rotation;
        text->alignment = s.alignment;
        text->textColour = s.colour;
        d.overlays.push_back(std::move(text));
    }
    auto arc = std::make_unique<VTOverlayCircularText>(
        kArcText, LGuiFontEx(LGuiFont(4, true, false, false, "DejaVu Sans", false)));
    arc->centreAngle = 270;
    arc->outerRadius = 57;
    arc->width = arc->height = 114;
    arc->textColour = LPFB8G8R8A8 { 255, 255, 255, 255 };
    arc->backgroundColour = LPFB8G8R8A8 { 80, 40, 20, 255 };
    d.overlays.push_back(std::move(arc));
    return true;
}

// The overlay's matrix as the renderer builds it: an image's stored transform moved to its
// centre, a text's rotation and centre.
LMatrix<float> OverlayMatrix(const VTOverlay& o)
{
    const int type = o.GetType();
    if (type == VTOverlayTypeImage || type == VTOverlayTypeClipart
        || type == VTOverlayTypeImageBackground) {
        LMatrix<float> m = o.transform;
        m.m[3][0] += o.centreX;
        m.m[3][1] += o.centreY;
        return m;
    }
    return VTPlacementMatrix(o.rotation, o.centreX, o.centreY);
}

// What to paint: everything, or one kind of element alone.
enum Parts { kAll = 0, kBackground = 1, kImages = 2, kTextParts = 3, kArc = 4 };

bool Wanted(int parts, const VTOverlay& o)
{
    switch (parts) {
    case kAll:
        return true;
    case kImages:
        return o.GetType() == VTOverlayTypeImage;
    case kTextParts:
        return o.GetType() == VTOverlayTypeText;
    case kArc:
        return o.GetType() == VTOverlayTypeCircularText;
    default:
        return false;
    }
}

void PaintDesign(Design& d, LPaintContext& ctx, int parts)
{
    LPaintSurface::Transform(ctx,
        LMatrix<float>::Scaling(kPixelsPerMm, kPixelsPerMm)
            * LMatrix<float>::Translation(60 * kPixelsPerMm, 60 * kPixelsPerMm));
    LGraphicsPath clip;
    d.disc.GetClippingPath(clip);
    ctx.SaveGState();
    LPaintSurface::ClipIntersect(ctx, clip);
    if (parts == kAll || parts == kBackground)
        d.disc.PaintBackground(ctx, &d.background);
    for (auto& o : d.overlays) {
        if (!Wanted(parts, *o))
            continue;
        LPaintSurface::TransformStackPush(ctx);
        LPaintSurface::Transform(ctx, OverlayMatrix(*o));
        o->Paint(ctx);
        LPaintSurface::TransformStackPop(ctx);
    }
    ctx.RestoreGState();
}

void ClearWhite(LImageBuffer& b)
{
    for (int y = 0; y < b.GetHeight(); ++y)
        std::memset(b.GetRow(y), 0xFF, size_t(b.GetWidth()) * 4);
}

// Argument: 0 the whole design; 1 the background, 2 the pictures, 3 the texts, 4 the arc text
// alone.
void BM_DiscDesignPaint(benchmark::State& state)
{
    const int parts = int(state.range(0));
    Design d;
    BuildDesign(d);
    LImageBuffer target(LImageFormat(LPixelFormatB8G8R8A8, kPixels, kPixels));
    for (auto _ : state) {
        ClearWhite(target);
        LImageBufferPainterDirect painter(target);
        PaintDesign(d, painter.GetPaintContext(), parts);
    }
    benchmark::DoNotOptimize(target.GetData());
}
BENCHMARK(BM_DiscDesignPaint)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- The same design as SVG for rsvg-convert.

std::string Hex(uint8_t r, uint8_t g, uint8_t b)
{
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", r, g, b);
    return s;
}

std::string Matrix(const LMatrix<float>& m)
{
    std::ostringstream s;
    s << "matrix(" << m.m[0][0] << ' ' << m.m[0][1] << ' ' << m.m[1][0] << ' ' << m.m[1][1] << ' '
      << m.m[3][0] << ' ' << m.m[3][1] << ')';
    return s.str();
}

std::string Escape(const std::string& t)
{
    std::string out;
    for (char c : t) {
        if (c == '<')
            out += "&lt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

void WriteJpeg(const LImageBuffer& b, const std::string& path)
{
    const std::string ppm = path + ".ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << b.GetWidth() << ' ' << b.GetHeight() << "\n255\n";
        std::vector<char> row(size_t(b.GetWidth()) * 3);
        for (int y = 0; y < b.GetHeight(); ++y) {
            const unsigned char* p = b.GetPictureRow(y);
            for (int x = 0; x < b.GetWidth(); ++x) {
                row[3 * x] = char(p[4 * x + 2]);
                row[3 * x + 1] = char(p[4 * x + 1]);
                row[3 * x + 2] = char(p[4 * x]);
            }
            out.write(row.data(), std::streamsize(row.size()));
        }
    }
    std::string command = "/usr/bin/convert '" + ppm + "' -quality 90 '" + path + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "convert failed\n");
    std::filesystem::remove(ppm);
}

std::string CircleFigure(float d)
{
    std::ostringstream s;
    const float r = d / 2;
    s << "M " << r << " 0 A " << r << ' ' << r << " 0 1 1 " << -r << " 0 A " << r << ' ' << r
      << " 0 1 1 " << r << " 0 Z ";
    return s.str();
}

void WriteSvg(Design& d, const std::string& folder, bool withImages, const std::string& name)
{
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
         "width=\"120mm\" height=\"120mm\" viewBox=\"-60 -60 120 120\">\n<defs>\n";
    LBrushInfo g;
    CreateLinearBrush(g, d.background, 120.0f, 120.0f);
    s << "<linearGradient id=\"bg\" gradientUnits=\"userSpaceOnUse\" x1=\"" << g.geometry[0]
      << "\" y1=\"" << g.geometry[1] << "\" x2=\"" << g.geometry[2] << "\" y2=\"" << g.geometry[3]
      << "\">\n";
    for (uint32_t i = 0; i < g.stopCount; ++i) {
        const LGuiColorAlpha& c = g.stopColors[i];
        s << "<stop offset=\"" << g.stopPositions[i] << "\" stop-color=\""
          << Hex(c.GetRed8(), c.GetGreen8(), c.GetBlue8()) << "\"/>\n";
    }
    s << "</linearGradient>\n<clipPath id=\"disc\"><path clip-rule=\"evenodd\" d=\""
      << CircleFigure(d.disc.outerDiameter) << CircleFigure(d.disc.innerDiameter)
      << "\"/></clipPath>\n</defs>\n";
    s << "<rect x=\"-60\" y=\"-60\" width=\"120\" height=\"120\" fill=\"white\"/>\n";
    s << "<g clip-path=\"url(#disc)\">\n";
    s << "<rect x=\"-60\" y=\"-60\" width=\"120\" height=\"120\" fill=\"url(#bg)\"/>\n";

    // Text measuring for the arc, as painting does it.
    LImageBuffer scratch(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    ClearWhite(scratch);
    LImageBufferPainter measurer(scratch);
    int picture = 0;
    for (auto& o : d.overlays) {
        const std::string transform = Matrix(OverlayMatrix(*o));
        if (o->GetType() == VTOverlayTypeImage) {
            const std::string file = "picture" + std::to_string(picture++) + ".jpg";
            if (withImages)
                s << "<image x=\"" << -o->width / 2 << "\" y=\"" << -o->height / 2 << "\" width=\""
                  << o->width << "\" height=\"" << o->height
                  << "\" preserveAspectRatio=\"none\" transform=\"" << transform
                  << "\" xlink:href=\"" << file << "\"/>\n";
        } else if (o->GetType() == VTOverlayTypeText) {
            auto& t = static_cast<VTOverlayText&>(*o);
            char face[260];
            t.font.GetName(face, sizeof face);
            const float size = float(t.font.GetSize()) * kMmPerPoint;
            const char* anchor
                = t.alignment % 3 == 0 ? "start" : (t.alignment % 3 == 1 ? "middle" : "end");
            const float x
                = t.alignment % 3 == 0 ? -t.width / 2 : (t.alignment % 3 == 1 ? 0 : t.width / 2);
            // The text overlay turns its text against the placement's direction.
            const std::string turned = Matrix(VTPlacementMatrix(-t.rotation, t.centreX, t.centreY));
            s << "<text transform=\"" << turned << "\" font-family=\"" << face << "\" font-size=\""
              << size << "\" text-anchor=\"" << anchor << "\" fill=\""
              << Hex(t.textColour.r, t.textColour.g, t.textColour.b) << "\">";
            std::istringstream lines(t.GetText());
            std::string line;
            const float lineCount
                = float(1 + std::count(t.GetText(), t.GetText() + std::strlen(t.GetText()), '\n'));
            float y = (t.alignment / 3 == 1 ? -lineCount * size * 1.17f / 2 : -t.height / 2)
                + size * 0.93f;
            while (std::getline(lines, line)) {
                s << "<tspan x=\"" << x << "\" y=\"" << y << "\">" << Escape(line) << "</tspan>";
                y += size * 1.17f;
            }
            s << "</text>\n";
        } else if (o->GetType() == VTOverlayTypeCircularText) {
            auto& c = static_cast<VTOverlayCircularText&>(*o);
            LFontAttributes attributes(
                "DejaVu Sans", float(c.font.GetSize()) * kMmPerPoint, LFontStyleBold);
            LPaintSurface::SetFont(measurer.GetPaintContext(), attributes);
            std::vector<std::string> chars;
            VTOverlayCircularText::SplitCharacters(c.GetText(), chars);
            std::vector<float> widths;
            float total = 0, height = 0;
            for (const std::string& ch : chars) {
                float w = 0, h = 0;
                LPaintSurface::MeasureText(measurer.GetPaintContext(), w, h, ch.c_str(),
                    LBoundingBox2T<float>(0, 0, 1000, 10000),
                    LDrawTextFormat(
                        LAlignmentXCenter, LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone));
                widths.push_back(w);
                total += w;
                height = std::max(height, h);
            }
            c.ComputeControlPoints(total, height);
            LGraphicsPath band;
            c.ComputeGraphicsPath(band);
            s << "<path fill=\""
              << Hex(c.backgroundColour.r, c.backgroundColour.g, c.backgroundColour.b)
              << "\" fill-rule=\"evenodd\" d=\"";
            const double ro = c.outerRadius, ri = c.innerRadius;
            const double a0 = c.startAngle * std::numbers::pi / 180,
                         a1 = c.endAngle * std::numbers::pi / 180;
            s << "M " << ri * std::cos(a0) << ' ' << ri * std::sin(a0) << " L " << ro * std::cos(a0)
              << ' ' << ro * std::sin(a0) << " A " << ro << ' ' << ro << " 0 0 1 "
              << ro * std::cos(a1) << ' ' << ro * std::sin(a1) << " L " << ri * std::cos(a1) << ' '
              << ri * std::sin(a1) << " A " << ri << ' ' << ri << " 0 0 0 " << ri * std::cos(a0)
              << ' ' << ri * std::sin(a0) << " Z\"/>\n";
            const float r = (c.innerRadius + c.outerRadius) / 2;
            const float k = float(2 * (2 * double(r) * std::numbers::pi / 360));
            float a = c.startAngle, previous = 0;
            s << "<g font-family=\"DejaVu Sans\" font-weight=\"bold\" font-size=\""
              << float(c.font.GetSize()) * kMmPerPoint << "\" text-anchor=\"middle\" fill=\""
              << Hex(c.textColour.r, c.textColour.g, c.textColour.b) << "\">\n";
            for (size_t i = 0; i < chars.size(); ++i) {
                a += (previous + widths[i]) / k;
                const double t = a * std::numbers::pi / 180;
                s << "<text transform=\"translate(" << std::cos(t) * r << ' ' << std::sin(t) * r
                  << ") rotate(" << a + 90 << ")\" y=\"" << height * 0.3f << "\">"
                  << Escape(chars[i]) << "</text>\n";
                previous = widths[i];
            }
            s << "</g>\n";
        }
    }
    s << "</g>\n</svg>\n";
    std::ofstream(folder + "/" + name) << s.str();
    if (withImages && !std::filesystem::exists(folder + "/picture0.jpg")) {
        WriteJpeg(d.pictures[0], folder + "/picture0.jpg");
        WriteJpeg(d.pictures[1], folder + "/picture1.jpg");
    }
}

// The folder with the SVG files and the pictures, made once and removed at exit.
struct SvgFolder {
    std::string path;
    SvgFolder()
    {
        std::string pattern = benchsupport::TemporaryFolder() + "/vt-disc-bench-XXXXXX";
        if (mkdtemp(pattern.data()))
            path = pattern;
        Design d;
        BuildDesign(d);
        WriteSvg(d, path, true, "design.svg");
        WriteSvg(d, path, false, "design-noimages.svg");
    }
    ~SvgFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

SvgFolder& Folder()
{
    static SvgFolder folder;
    return folder;
}

// One of the JPEG files beside the SVG, decoded as the program decodes a picture file.
bool LoadPicture(LImageBuffer& b, int index)
{
    const std::string path = Folder().path + "/picture" + std::to_string(index) + ".jpg";
    LProcessInterfaceVoid quiet;
    LProcessImageLoadFile load(path.c_str(), 0, nullptr, b);
    return Process(quiet, load) == LProcessResultSuccess && b.IsValid();
}

// The design painted and written as rsvg-convert writes its picture: an RGBA PNG at zlib's default
// level.
bool PaintAndWrite(Pictures pictures, const std::string& path)
{
    Design d;
    if (!BuildDesign(d, pictures))
        return false;
    LImageBuffer target(LImageFormat(LPixelFormatB8G8R8A8, kPixels, kPixels));
    ClearWhite(target);
    {
        LImageBufferPainterDirect painter(target);
        PaintDesign(d, painter.GetPaintContext(), kAll);
    }
    platform::imageio::EncodeInput input;
    input.firstRow = target.GetPictureRow(0);
    input.stride
        = target.IsBottomUp() ? -ptrdiff_t(target.GetStride()) : ptrdiff_t(target.GetStride());
    input.width = uint32_t(target.GetWidth());
    input.height = uint32_t(target.GetHeight());
    std::vector<uint8_t> bytes;
    if (!platform::imageio::Encode(platform::imageio::Format::PNG, input, bytes))
        return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// A PNG file's width, height, colour type and the compression level its first IDAT's zlib header
// names (0 fastest to 3 best; 2 is zlib's default); all -1 when the file is not one.
struct PngHeader {
    long width = -1, height = -1;
    int colourType = -1, level = -1;
};

PngHeader ReadPngHeader(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> d(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PngHeader h;
    if (d.size() < 33 || std::memcmp(d.data() + 12, "IHDR", 4) != 0)
        return h;
    auto be32 = [&](size_t at) {
        return long(d[at]) << 24 | long(d[at + 1]) << 16 | long(d[at + 2]) << 8 | long(d[at + 3]);
    };
    h.width = be32(16);
    h.height = be32(20);
    h.colourType = d[25];
    for (size_t at = 8; at + 10 <= d.size(); at += 12 + size_t(be32(at))) {
        if (std::memcmp(d.data() + at + 4, "IDAT", 4) == 0) {
            h.level = d[at + 9] >> 6;
            break;
        }
    }
    return h;
}

// Compares our file with rsvg-convert's of the same design, once: the same PNG settings and size,
// and the pixels' PSNR (through netpbm's pngtopnm).
void CompareOnce(benchmark::State& state, const std::string& ours, const std::string& theirs)
{
    const PngHeader a = ReadPngHeader(ours), b = ReadPngHeader(theirs);
    state.counters["colour_type"] = a.colourType;
    state.counters["zlib_level"] = a.level;
    if (a.width != kPixels || a.height != kPixels || b.width != a.width || b.height != a.height) {
        state.SkipWithError("the two pictures differ in size");
        return;
    }
    if (a.colourType != b.colourType || a.level != b.level) {
        state.SkipWithError("the two PNG files are written with different settings");
        return;
    }
    const std::string command = "pngtopnm '" + ours + "' >'" + ours + ".ppm' 2>/dev/null && "
        + "pngtopnm '" + theirs + "' >'" + theirs + ".ppm' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError("pngtopnm failed");
        return;
    }
    const double psnr = benchsupport::PSNR(
        benchsupport::Pixmap(ours + ".ppm"), benchsupport::Pixmap(theirs + ".ppm"));
    state.counters["psnr"] = psnr;
    // Different text engines place glyph edges differently; a missing picture or background costs
    // far more than this.
    if (psnr < 20)
        state.SkipWithError("the picture differs from rsvg-convert's");
}

// The other side's file, made once, for the comparison of whichever side runs second.
std::string Other(const std::string& name, bool ours, Pictures pictures)
{
    const std::string path = Folder().path + "/" + name + (ours ? "-rsvg.png" : "-ours.png");
    if (std::filesystem::exists(path))
        return path;
    if (ours) {
        const std::string command = "cd '" + Folder().path + "' && rsvg-convert -d 300 -p 300 -o '"
            + path + "' " + (pictures == Pictures::kNone ? "design-noimages.svg" : "design.svg")
            + " 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            return {};
    } else if (!PaintAndWrite(pictures, path)) {
        return {};
    }
    return path;
}

void RunOurs(benchmark::State& state, Pictures pictures, const std::string& name)
{
    if (Folder().path.empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string path = Folder().path + "/" + name + "-ours.png";
    for (auto _ : state) {
        if (!PaintAndWrite(pictures, path)) {
            state.SkipWithError("the PNG file was not written");
            return;
        }
    }
    CompareOnce(state, path, Other(name, true, pictures));
}

void RunRsvg(benchmark::State& state, Pictures pictures, const std::string& name)
{
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) {
        state.SkipWithError("rsvg-convert is not installed (librsvg2-bin)");
        return;
    }
    const std::string path = Folder().path + "/" + name + "-rsvg.png";
    const std::string command = "cd '" + Folder().path + "' && rsvg-convert -d 300 -p 300 -o '"
        + path + "' " + (pictures == Pictures::kNone ? "design-noimages.svg" : "design.svg")
        + " 2>/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("rsvg-convert failed");
            return;
        }
    }
    CompareOnce(state, Other(name, false, pictures), path);
}

void BM_DiscDesignFromFiles_Ours(benchmark::State& state)
{
    RunOurs(state, Pictures::kFromFiles, "design");
}
BENCHMARK(BM_DiscDesignFromFiles_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DiscDesignFromFiles_Rsvg(benchmark::State& state)
{
    RunRsvg(state, Pictures::kFromFiles, "design");
}
BENCHMARK(BM_DiscDesignFromFiles_Rsvg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DiscDesignNoPictures_Ours(benchmark::State& state)
{
    RunOurs(state, Pictures::kNone, "noimages");
}
BENCHMARK(BM_DiscDesignNoPictures_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DiscDesignNoPictures_Rsvg(benchmark::State& state)
{
    RunRsvg(state, Pictures::kNone, "noimages");
}
BENCHMARK(BM_DiscDesignNoPictures_Rsvg)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
