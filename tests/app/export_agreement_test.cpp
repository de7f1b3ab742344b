// The 300-dpi image export, the PDF export and the print show the same pixels: fills with alpha
// (text and ring backgrounds, solid backgrounds and gradients with stop opacity, pictures with
// alpha) and every overlay kind, an empty clipart included, whose canvas placeholder stays out of
// every sheet. The PDFs are rendered by poppler (pdftoppm) and compared with ImageMagick.
#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTPrintFunction.h"
#include "platform/print/Print.h"
#include "support/DocumentTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

constexpr double kPxPerMm = 300 / 25.4;

struct Quiet : LProcessInterfaceVoid {
    std::string error;
    void SetError(const char* text) override { error = text; }
};

// A smooth picture (as photographs are) whose alpha falls from 255 on the left to 55 on the
// right.
void SmoothPicture(LImageBuffer& picture, int width, int height)
{
    picture.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    for (int y = 0; y < height; ++y) {
        unsigned char* row = picture.GetData() + picture.GetStride() * uint64_t(y);
        for (int x = 0; x < width; ++x) {
            row[x * 4 + 0] = 160;
            row[x * 4 + 1] = uint8_t(y * 255 / (height - 1));
            row[x * 4 + 2] = uint8_t(x * 255 / (width - 1));
            row[x * 4 + 3] = uint8_t(255 - x * 200 / (width - 1));
        }
    }
}

LPFB8G8R8A8 Bgra(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    LPFB8G8R8A8 c;
    c.r = r;
    c.g = g;
    c.b = b;
    c.a = a;
    return c;
}

VTOverlayImage* AddPicture(VTProjectTemplate& design, VTOverlayImage* overlay, int pixels, float x,
    float y, float w, float h, float rotation)
{
    if (pixels > 0) {
        LImageBuffer picture;
        SmoothPicture(picture, pixels, pixels * 3 / 4);
        overlay->SetImage(picture);
    }
    overlay->centreX = x;
    overlay->centreY = y;
    overlay->width = w;
    overlay->height = h;
    design.InsertOverlay(overlay, false);
    if (rotation != 0)
        overlay->Rotate(rotation);
    return overlay;
}

VTOverlayText* AddText(VTProjectTemplate& design, const char* words, float x, float y,
    float rotation, const LPFB8G8R8A8& background)
{
    auto* text = new VTOverlayText(
        words, LGuiFontEx(LGuiFont(14, true, false, false, "DejaVu Sans", false)));
    text->centreX = x;
    text->centreY = y;
    text->rotation = rotation;
    text->transform = VTPlacementMatrix(rotation, x, y);
    text->width = 46.3f; // not whole millimetres
    text->height = 17.7f;
    text->textColour = Bgra(160, 20, 20, 255);
    text->backgroundColour = background;
    design.InsertOverlay(text, false);
    return text;
}

LBrushInfo* Gradient(uint32_t kind, const uint8_t (*stops)[4], int count)
{
    auto* brush = new LBrushInfo;
    brush->kind = kind;
    brush->geometry[0] = 0.1f;
    brush->geometry[1] = -0.2f;
    brush->geometry[2] = 0.9f;
    brush->geometry[3] = 0.75f;
    brush->stopCount = uint32_t(count);
    for (int i = 0; i < count; ++i) {
        brush->stopPositions[i] = float(i) / float(count - 1);
        brush->stopColors[i]
            = LGuiColorAlpha::FromRGBA8(stops[i][0], stops[i][1], stops[i][2], stops[i][3]);
    }
    return brush;
}

// The generic CD layout on A4 with every overlay kind on the disc over a linear gradient whose
// stops are partly transparent, a radial gradient of the same kind on the front (a landscape
// page) and a half-transparent red on the back.
std::unique_ptr<VTProject> EveryKindProject()
{
    auto project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
    const uint8_t stops[3][4]
        = { { 40, 160, 90, 255 }, { 200, 120, 30, 96 }, { 90, 60, 170, 200 } };

    VTProjectTemplate* disc = project->templates.GetAt(0);
    disc->backgroundBrush.Reset(Gradient(LBrushInfoKindLinearGradient, stops, 3));
    AddPicture(*disc, new VTOverlayImageBackground, 200, 0, 0, 110, 82.5f, 0);
    AddText(*disc, "Halv bakgrund", -8, -30, 0, Bgra(0, 0, 255, 128));
    auto* ring = new VTOverlayCircularText(
        "Runt skivan", LGuiFontEx(LGuiFont(12, false, false, false, "DejaVu Sans", false)));
    ring->centreAngle = 270;
    ring->outerRadius = 56;
    ring->width = ring->height = 112;
    ring->SetBackgroundColour(Bgra(255, 255, 255, 110));
    disc->InsertOverlay(ring, false);
    AddPicture(*disc, new VTOverlayImage, 120, 22, 22, 30, 22.5f, 30);
    AddPicture(*disc, new VTOverlayClipart, 96, -26, 18, 24, 18, 0);
    AddPicture(*disc, new VTOverlayClipart, 0, 0, 40, 30, 22.5f, 0); // no picture

    VTProjectTemplate* front = project->templates.GetAt(1);
    front->backgroundBrush.Reset(Gradient(LBrushInfoKindRadialGradient, stops, 3));
    AddText(*front, "Framsida", 20, 10, 12, Bgra(255, 255, 255, 90));

    VTProjectTemplate* back = project->templates.GetAt(2);
    auto* red = new LBrushInfo;
    red->kind = LBrushInfoKindSolid;
    red->color = LGuiColorAlpha::FromRGBA8(255, 0, 0, 128);
    back->backgroundBrush.Reset(red);
    AddText(*back, "Baksida", 0, -20, -90, Bgra(0, 160, 0, 128));
    return project;
}

// Presses the print panel's print button once a printer is chosen.
gboolean AnswerPanel(gpointer)
{
    GList* windows = gtk_window_list_toplevels();
    bool answered = false;
    for (GList* w = windows; w && !answered; w = w->next) {
        if (std::strcmp(G_OBJECT_TYPE_NAME(w->data), "GtkPrintUnixDialog") != 0
            || !gtk_widget_get_visible(GTK_WIDGET(w->data)))
            continue;
        GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(w->data), GTK_RESPONSE_OK);
        if (ok && gtk_widget_is_sensitive(ok)) {
            gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_OK);
            answered = true;
        }
    }
    g_list_free(windows);
    return answered ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

class ExportAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
    }
    std::string Path(const std::string& name) const { return m_folder / name; }

    std::string ExportImage(VTProject& project, VTLabelLayoutPage* page, const std::string& name)
    {
        VTImageExport record;
        const std::string path = Path(name + ".png");
        record.targetPath = path.c_str();
        record.project = &project;
        record.page = page;
        Quiet job;
        EXPECT_EQ(Process(job, record), LProcessResultSuccess) << job.error;
        return path;
    }
    // The PDF export rendered by poppler at 300 dpi.
    std::string ExportPdf(VTProject& project, VTLabelLayoutPage* page, const std::string& name)
    {
        VTExport record;
        const std::string path = Path(name + ".pdf");
        record.targetPath = path.c_str();
        record.project = &project;
        record.page = page;
        Quiet job;
        EXPECT_EQ(Process(job, record), LProcessResultSuccess) << job.error;
        return Render(path, name + "-pdf");
    }
    // Printed to GTK's print-to-file printer (outlines on, as the exports draw them), rendered
    // by poppler at 300 dpi.
    std::string Print(VTProject& project, VTLabelLayoutPage* page, const std::string& name)
    {
        const std::string pdf = Path(name + ".pdf");
        g_object_set(gtk_settings_get_default(), "gtk-print-backends", "file", nullptr);
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_PRINTER, "Print to File");
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_URI, ("file://" + pdf).c_str());
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        g_timeout_add(20, AnswerPanel, nullptr);
        LPrintSettings settings;
        VTPrintSettingsForLayout(settings, *project.GetLabelLayout(), *page);
        VTPrintFunctionClass function(&project, page, &settings.imageableWidth, true);
        EXPECT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, function));
        return Render(pdf, name + "-print");
    }
    std::string Render(const std::string& pdf, const std::string& name)
    {
        ShellOutput("pdftoppm -r 300 -singlefile '" + pdf + "' '" + Path(name) + "'");
        return Path(name + ".ppm");
    }
    // An image file's pixels, decoded by ImageMagick.
    static RgbRaster Load(const std::string& image)
    {
        const std::string ppm = ShellOutput("/usr/bin/convert '" + image + "' -alpha off ppm:-");
        RgbRaster r;
        int maxval = 0, consumed = 0;
        if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &r.width, &r.height, &maxval, &consumed) != 3
            || maxval != 255
            || ppm.size() < size_t(consumed) + 1 + size_t(r.width) * r.height * 3) {
            r.width = r.height = 0;
            return r;
        }
        r.pixels.assign(ppm.begin() + consumed + 1,
            ppm.begin() + consumed + 1 + std::ptrdiff_t(size_t(r.width) * r.height * 3));
        return r;
    }
    // The normalised RMSE (as ImageMagick's compare gives it) of two pictures over the area they
    // share from their top-left corners: a PDF page of whole points is a few pixels smaller than
    // the image of the paper. 1 when either could not be read.
    static double Rmse(const RgbRaster& a, const RgbRaster& b)
    {
        const int w = std::min(a.width, b.width), h = std::min(a.height, b.height);
        if (w <= 0 || h <= 0)
            return 1;
        double sum = 0;
        for (int y = 0; y < h; ++y) {
            const unsigned char* p = &a.pixels[size_t(y) * a.width * 3];
            const unsigned char* q = &b.pixels[size_t(y) * b.width * 3];
            for (int x = 0; x < w * 3; ++x) {
                const double d = (double(p[x]) - q[x]) / 255.0;
                sum += d * d;
            }
        }
        return std::sqrt(sum / (double(w) * h * 3));
    }
    static DrawPixel At(const RgbRaster& r, double xMm, double yMm)
    {
        return r.At(int(xMm * kPxPerMm), int(yMm * kPxPerMm));
    }
    // Pixels along a line of an image (mm from its top-left corner) that are strong blue.
    static int BlueAlong(const RgbRaster& r, double x0, double y0, double x1, double y1)
    {
        int count = 0;
        for (int i = 0; i <= 200; ++i) {
            const double t = i / 200.0;
            DrawPixel p = At(r, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
            count += p.b > 200 && p.r < 90 && p.g < 90;
        }
        return count;
    }

    TemporaryFolder m_folder;
};

} // namespace

TEST_F(ExportAgreement, ImageAndPdfExportsOfEveryOverlayKind)
{
    auto project = EveryKindProject();
    const char* names[] = { "disc", "front", "back" };
    RgbRaster images[3], pdfs[3];
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(i);
        images[i] = Load(ExportImage(*project, page, names[i]));
        pdfs[i] = Load(ExportPdf(*project, page, names[i]));
        ASSERT_EQ(images[i].width, i == 1 ? 3508 : 2481);
        ASSERT_GT(pdfs[i].width, 2400);
        const double rmse = Rmse(images[i], pdfs[i]);
        std::printf(
            "[ agreement ] %s: RMSE of the image export against the PDF %.4f\n", names[i], rmse);
        EXPECT_LT(rmse, 0.02);
    }

    for (const RgbRaster* r : { &images[2], &pdfs[2] }) {
        SCOPED_TRACE(r == &images[2] ? "back, image" : "back, PDF");
        // Half-transparent red on white paper.
        DrawPixel red = At(*r, 105 + 60, 148.5 + 50);
        EXPECT_EQ(red.r, 255);
        EXPECT_NEAR(red.g, 127, 3);
        EXPECT_NEAR(red.b, 127, 3);
        // A half-transparent green text background over it (the box turned upright, 17.7 mm
        // wide, centred 20 mm above the middle), beside the text.
        DrawPixel both = At(*r, 105 + 6.5, 148.5 - 20 + 19);
        EXPECT_NEAR(both.r, 127, 3);
        EXPECT_NEAR(both.g, 143, 3);
        EXPECT_NEAR(both.b, 63, 3);
    }
    // The disc: the text's blue background at half opacity over the gradient, beside the text.
    DrawPixel a = At(images[0], 105 - 8 - 20, 148.5 - 30 - 4);
    DrawPixel b = At(pdfs[0], 105 - 8 - 20, 148.5 - 30 - 4);
    EXPECT_NEAR(a.r, b.r, 4);
    EXPECT_NEAR(a.g, b.g, 4);
    EXPECT_NEAR(a.b, b.b, 4);
    EXPECT_GT(a.b, a.r + 100); // bluish, yet what lies below shows through
    EXPECT_GT(a.r + a.g, 30);
    EXPECT_LT(a.b, 245);

    // The clipart without a picture (30 x 22.5 mm, 40 mm below the middle) leaves its place
    // empty in both: no blue frame.
    const double cx = 105, cy = 148.5 + 40;
    for (const RgbRaster* r : { &images[0], &pdfs[0] }) {
        EXPECT_EQ(BlueAlong(*r, cx - 15, cy - 11.25, cx + 15, cy - 11.25), 0);
        EXPECT_EQ(BlueAlong(*r, cx - 15, cy - 11.25, cx - 15, cy + 11.25), 0);
    }
}

TEST_F(ExportAgreement, PrintsShowWhatTheImageExportShows)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    auto project = EveryKindProject();
    const char* names[] = { "disc", "back" };
    const int pages[] = { 0, 2 };
    RgbRaster printed[2];
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(pages[i]);
        const RgbRaster image = Load(ExportImage(*project, page, names[i]));
        printed[i] = Load(Print(*project, page, std::string(names[i]) + "-printed"));
        ASSERT_GT(printed[i].width, 2400);
        const double rmse = Rmse(image, printed[i]);
        std::printf(
            "[ agreement ] %s: RMSE of the image export against the print %.4f\n", names[i], rmse);
        EXPECT_LT(rmse, 0.02);
    }
    DrawPixel red = At(printed[1], 105 + 60, 148.5 + 50);
    EXPECT_EQ(red.r, 255);
    EXPECT_NEAR(red.g, 127, 3);
    EXPECT_NEAR(red.b, 127, 3);
    const double cx = 105, cy = 148.5 + 40;
    EXPECT_EQ(BlueAlong(printed[0], cx - 15, cy - 11.25, cx + 15, cy - 11.25), 0);
}
