// A sample project for tests, the fuzz seeds and the benchmarks: the generic CD layout on A4
// (a disc, a CD case front on a landscape page, a CD case back), the disc design with a printable
// ring and band, a linear gradient and one overlay of every kind, the front with a radial
// gradient and a text, the back showing a background image by path.
#pragma once

#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "app/VTProjectTemplate.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LGuiFont.h"
#include "platform/imageio/ImageIO.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace sample {

// A B8G8R8A8 picture with a pattern in every channel, alpha included.
inline void MakePicture(LImageBuffer& picture, int width, int height, uint32_t seed = 1)
{
    picture.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    for (int y = 0; y < height; ++y) {
        unsigned char* row = picture.GetData() + picture.GetStride() * uint64_t(y);
        for (int x = 0; x < width; ++x) {
            uint32_t v = uint32_t(x) * 7u + uint32_t(y) * 13u + seed * 31u;
            row[x * 4 + 0] = uint8_t(v);
            row[x * 4 + 1] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            row[x * 4 + 2] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            row[x * 4 + 3] = uint8_t(255 - ((x + y + seed) % 4) * 60);
        }
    }
}

// A gradient of the kind with the same geometry every time, its stops (red, green, blue, alpha)
// spread evenly over it.
inline LBrushInfo* Gradient(uint32_t kind, const uint8_t (*stops)[4], int count)
{
    auto* brush = new LBrushInfo;
    brush->kind = kind;
    brush->geometry[0] = 0.1f;
    brush->geometry[1] = -0.2f;
    brush->geometry[2] = 0.9f;
    brush->geometry[3] = 0.75f;
    brush->stopCount = uint32_t(count);
    for (int i = 0; i < count; ++i) {
        brush->stopPositions[i] = float(i) / float(count > 1 ? count - 1 : 1);
        brush->stopColors[i]
            = LGuiColorAlpha::FromRGBA8(stops[i][0], stops[i][1], stops[i][2], stops[i][3]);
    }
    return brush;
}

// The same with that many stops of made-up colours.
inline LBrushInfo* Gradient(uint32_t kind, int stops)
{
    const int count = stops < kLBrushInfoMaxStops ? stops : kLBrushInfoMaxStops;
    uint8_t colours[kLBrushInfoMaxStops][4] = {};
    for (int i = 0; i < count; ++i) {
        colours[i][0] = uint8_t(200 - i * 40);
        colours[i][1] = uint8_t(30 + i * 50);
        colours[i][2] = uint8_t(90 + i * 20);
        colours[i][3] = uint8_t(255 - i);
    }
    return Gradient(kind, colours, count);
}

inline VTOverlayText* Text(VTProjectTemplate& design, const char* text, float x, float y)
{
    LGuiFontEx font(LGuiFont(14, true, false, false, "DejaVu Sans", false));
    auto* overlay = new VTOverlayText(text, font);
    overlay->centreX = x;
    overlay->centreY = y;
    overlay->rotation = 15;
    overlay->width = 60;
    overlay->height = 20;
    overlay->alignment = 3;
    overlay->textColour = LPFB8G8R8A8 { 10, 20, 200, 255 };
    overlay->backgroundColour = LPFB8G8R8A8 { 240, 240, 0, 128 };
    design.InsertOverlay(overlay, false);
    return overlay;
}

inline VTOverlayImage* Picture(
    VTOverlayImage* overlay, VTProjectTemplate& design, int size, uint32_t seed, float x, float y)
{
    if (size > 0) {
        LImageBuffer picture;
        MakePicture(picture, size, size * 3 / 4, seed);
        overlay->SetImage(picture);
    }
    overlay->centreX = x;
    overlay->centreY = y;
    overlay->width = 30;
    overlay->height = 22.5f;
    overlay->SetSourcePath("/pictures/photo.png");
    design.InsertOverlay(overlay, false);
    return overlay;
}

// An opaque picture of noise standing in for a photograph (its PNG is about as large as its
// pixels); seeds give different pictures.
inline void Photo(LImageBuffer& picture, int width, int height, uint64_t seed = 0)
{
    picture.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    uint64_t state = 0x9E3779B97F4A7C15ull + seed * 0x2545F4914F6CDD1Dull;
    for (int y = 0; y < height; ++y) {
        auto* row
            = reinterpret_cast<uint32_t*>(picture.GetData() + picture.GetStride() * size_t(y));
        for (int x = 0; x < width; x += 2) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            row[x] = uint32_t(state) | 0xFF000000u;
            if (x + 1 < width)
                row[x + 1] = uint32_t(state >> 32) | 0xFF000000u;
        }
    }
}

// The picture's bytes in the format, encoded quickly (a PNG at zlib level 1: the program's own
// level takes a minute a picture of 24 megapixels; a JPEG at quality 90).
inline std::vector<unsigned char> QuickEncoded(
    const LImageBuffer& picture, platform::imageio::Format format)
{
    platform::imageio::EncodeInput input;
    input.firstRow = picture.GetData();
    input.stride = ptrdiff_t(picture.GetStride());
    input.width = uint32_t(picture.GetWidth());
    input.height = uint32_t(picture.GetHeight());
    input.ignoreAlpha = true;
    input.quality = 90;
    input.pngCompression = 1;
    std::vector<unsigned char> bytes;
    platform::imageio::Encode(format, input, bytes);
    return bytes;
}

// A project of count photographs (Photo, seeds 0, 1, ...) on the disc design of the generic CD
// layout, their PNG bytes kept (QuickEncoded), so that a save writes what a saved project of
// photographs holds. One picture lies in the middle as it came in; more lie side by side over the
// disc, each seen.
inline std::unique_ptr<VTProject> PhotoProject(int width, int height, int count = 1)
{
    auto project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
    for (int i = 0; i < count; ++i) {
        LImageBuffer picture;
        Photo(picture, width, height, uint64_t(i));
        auto bytes = std::make_shared<std::vector<unsigned char>>(
            QuickEncoded(picture, platform::imageio::Format::PNG));
        auto* image = new VTOverlayImage;
        image->TakeImage(picture);
        image->GetImage().KeepEncodedPNG(std::move(bytes));
        if (count > 1) {
            image->SetDimensions(24, 16);
            image->centreX = float(i % 4) * 25 - 37.5f;
            image->centreY = float(i / 4 % 4) * 20 - 30;
        }
        project->templates.GetAt(0)->InsertOverlay(image, true);
    }
    return project;
}

// The sample; pictureSize is the width in pixels of the overlays' pictures.
inline std::unique_ptr<VTProject> MakeProject(int pictureSize = 48)
{
    auto* layout = new VTLabelLayoutDataGenericCDStandard;
    layout->paperSize = LPaperSizeA4;
    auto project = std::make_unique<VTProject>(layout);

    VTProjectTemplate* disc = project->templates.GetAt(0);
    auto* ring = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(disc->GetTemplateData());
    ring->SetDiscPrintableArea(117, 40, true, 60, 55);
    disc->backgroundBrush.Reset(Gradient(LBrushInfoKindLinearGradient, 3));
    Text(*disc, "Hej\nvärlden", 0, -30);
    auto* circular = new VTOverlayCircularText(
        "Runt och runt", LGuiFontEx(LGuiFont(11, false, true, true, "DejaVu Serif", false)));
    circular->centreAngle = 270;
    circular->outerRadius = 52;
    circular->alignment = 1;
    circular->width = 104;
    circular->height = 104;
    disc->InsertOverlay(circular, false);
    VTOverlayImage* image = Picture(new VTOverlayImage, *disc, pictureSize, 1, 20, 25);
    disc->FlipItemHorizontal(*image);
    image->Rotate(30);
    Picture(new VTOverlayClipart, *disc, pictureSize, 2, -25, 20);
    Picture(new VTOverlayClipart, *disc, 0, 0, 0, 40);
    VTOverlayImage* background = Picture(new VTOverlayImageBackground, *disc, pictureSize, 3, 0, 0);
    background->width = 120;
    background->height = 120;

    VTProjectTemplate* front = project->templates.GetAt(1);
    front->backgroundBrush.Reset(Gradient(LBrushInfoKindRadialGradient, 2));
    Text(*front, "Framsida", 10, 10);

    VTProjectTemplate* back = project->templates.GetAt(2);
    back->backgroundBrush.Reset();
    std::snprintf(
        back->backgroundImagePath, sizeof back->backgroundImagePath, "%s", "/pictures/back.png");
    return project;
}

// An opaque B8G8R8A8 picture, smooth as photographs are.
inline void MakePhoto(LImageBuffer& picture, int width, int height, uint32_t seed = 1)
{
    picture.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    for (int y = 0; y < height; ++y) {
        unsigned char* row = picture.GetData() + picture.GetStride() * uint64_t(y);
        for (int x = 0; x < width; ++x) {
            row[x * 4 + 0] = uint8_t((x + y + seed * 40) / 8);
            row[x * 4 + 1] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            row[x * 4 + 2] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            row[x * 4 + 3] = 255;
        }
    }
}

// Lays count photos of width x height pixels over the design five to a row, 20 mm wide, at
// places off the whole millimetres (as dragged pictures lie), twenty of them on a disc; the bytes
// of their pixels.
inline uint64_t AddPhotos(VTProjectTemplate& design, int count, int width, int height)
{
    uint64_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        LImageBuffer picture;
        MakePhoto(picture, width, height, uint32_t(i));
        bytes += picture.GetStride() * uint64_t(picture.GetHeight());
        auto* overlay = new VTOverlayImage;
        overlay->TakeImage(picture);
        overlay->centreX = -43.7f + float(i % 5) * 21.9f;
        overlay->centreY = -32.3f + float(i / 5) * 16.1f;
        overlay->width = 20.3f;
        overlay->height = 20.3f * float(height) / float(width);
        design.InsertOverlay(overlay, false);
    }
    return bytes;
}

} // namespace sample
