// Test helpers of the document layer: a canvas in millimetres with its origin in the middle, and
// a PDF page whose drawing unit is the millimetre, rendered back to RGB pixels with pdftoppm.
#pragma once

#include "lfw/mac/LPDFWriter.h"
#include "lfw/mac/LPaintSurface.h"
#include "support/CommandOutput.h"
#include "support/DrawCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A white canvas of widthMm x heightMm at pixelsPerMm, the origin at its centre, y down.
class MmCanvas : public DrawCanvas {
public:
    MmCanvas(float widthMm, float heightMm, float pixelsPerMm)
        : DrawCanvas(
            int(std::lround(widthMm * pixelsPerMm)), int(std::lround(heightMm * pixelsPerMm)))
        , mScale(pixelsPerMm)
    {
        LPaintSurface::Transform(ctx(),
            LMatrix<float>::Scaling(pixelsPerMm, pixelsPerMm)
                * LMatrix<float>::Translation(width() / 2.0f, height() / 2.0f));
    }
    // The pixel under a point in millimetres.
    int Px(float xMm) const { return int(std::floor(width() / 2.0f + xMm * mScale)); }
    int Py(float yMm) const { return int(std::floor(height() / 2.0f + yMm * mScale)); }
    DrawPixel AtMm(float xMm, float yMm) { return At(Px(xMm), Py(yMm)); }
    int InkMm(float xMm, float yMm) { return Ink(Px(xMm), Py(yMm)); }
    float Scale() const { return mScale; }

private:
    float mScale;
};

// RGB pixels of a rendered PDF page.
struct RgbRaster {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    DrawPixel At(int x, int y) const
    {
        const unsigned char* p = &pixels[(size_t(y) * width + x) * 3];
        return { p[0], p[1], p[2], 255 };
    }
    int Ink(int x, int y) const
    {
        DrawPixel p = At(x, y);
        return 255 - (p.r + p.g + p.b) / 3;
    }
};

inline std::string ShellOutput(const std::string& command)
{
    return CommandOutput(command);
}

// The first page rendered at 72 dpi (one pixel per PDF point), or at the resolution given.
inline RgbRaster RenderPdfPage(const std::string& pdf, double dpi = 72)
{
    const std::string base = pdf + "-page";
    ShellOutput(
        "pdftoppm -r " + std::to_string(dpi) + " -singlefile '" + pdf + "' '" + base + "' 2>&1");
    RgbRaster r;
    std::ifstream in(base + ".ppm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> r.width >> r.height >> maxval;
    in.get();
    r.pixels.resize(size_t(r.width) * r.height * 3);
    in.read(reinterpret_cast<char*>(r.pixels.data()), std::streamsize(r.pixels.size()));
    if (magic != "P6" || !in)
        r.width = r.height = 0;
    return r;
}

// The images on the first page of a PDF as pdfimages lists them, "image 800 533" or
// "smask 601 401", in sorted order.
inline std::vector<std::string> PdfImages(const std::string& pdf)
{
    std::istringstream list(ShellOutput("pdfimages -list '" + pdf + "' 2>&1"));
    std::vector<std::string> images;
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string page, number, type, width, height;
        if (fields >> page >> number >> type >> width >> height && page == "1")
            images.push_back(type + " " + width + " " + height);
    }
    std::sort(images.begin(), images.end());
    return images;
}

// An A4 PDF page at 72 units per inch whose drawing unit is made pixelsPerMm points, the origin
// in the page's middle. The page is begun on construction; Finish ends it and closes the file.
class MmPdfPage {
public:
    MmPdfPage(const std::string& path, float pointsPerMm)
        : mWriter(path.c_str(), LPaperSizeA4, LPaperSizeOrientationPortrait, 72)
        , mScale(pointsPerMm)
    {
        mWriter.BeginPage();
        mWriter.TransformReset(LMatrix<float>::Scaling(pointsPerMm, pointsPerMm)
            * LMatrix<float>::Translation(mWriter.GetPageWidth() / 2, mWriter.GetPageHeight() / 2));
    }
    LPDFWriter& Writer() { return mWriter; }
    bool Finish()
    {
        mWriter.EndPage();
        return mWriter.Close();
    }
    // The pixel of the rendered page under a point in millimetres.
    int Px(float xMm) const { return int(std::floor(mWriter.GetPageWidth() / 2 + xMm * mScale)); }
    int Py(float yMm) const { return int(std::floor(mWriter.GetPageHeight() / 2 + yMm * mScale)); }

private:
    LPDFWriter mWriter;
    float mScale;
};
