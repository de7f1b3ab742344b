#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "support/DocumentTestSupport.h"
#include "support/ProcessStatus.h"
#include "support/ProjectTestSupport.h"
#include "support/SmallDisk.h"
#include "support/TemporaryFolder.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

struct Recorder : LProcessInterfaceVoid {
    std::string error;
    int stopAfter = -1;
    int stopCalls = 0;
    bool IsToStop() override { return stopAfter >= 0 && stopCalls++ >= stopAfter; }
    void SetError(const char* text) override { error = text; }
};

constexpr double kK = 72.0 / 25.4; // points per millimetre

LBrushInfo* Red()
{
    auto* brush = new LBrushInfo;
    brush->kind = LBrushInfoKindSolid;
    brush->color = LGuiColorAlpha::FromRGBA8(255, 0, 0, 255);
    return brush;
}

bool IsRed(const DrawPixel& p)
{
    return p.r > 240 && p.g < 20 && p.b < 20;
}
bool IsWhite(const DrawPixel& p)
{
    return p.r > 245 && p.g > 245 && p.b > 245;
}

// The file's size limit for this scope (writes beyond it fail instead of ending the process).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &mOld);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = { bytes, mOld.rlim_max };
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &mOld); }

private:
    struct rlimit mOld;
};

class Export : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
    }
    std::string Path(const char* name) const { return m_folder / name; }
    // Temporary files left in the folder of temporary files.
    std::vector<std::string> Leftovers() const
    {
        return TemporaryFolder::List(m_folder / "cache/vorantel");
    }
    static std::string ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static LProcessResult ExportPdf(
        VTProject& project, VTLabelLayoutPage* page, const std::string& path, Recorder& job)
    {
        VTExport record;
        record.targetPath = path.c_str();
        record.project = &project;
        record.page = page;
        return Process(job, record);
    }
    static LProcessResult ExportImage(
        VTProject& project, VTLabelLayoutPage* page, const std::string& path, Recorder& job)
    {
        VTImageExport record;
        record.targetPath = path.c_str();
        record.project = &project;
        record.page = page;
        return Process(job, record);
    }
    // A generic CD project on A4 with a red disc and a red CD case front.
    static std::unique_ptr<VTProject> RedProject()
    {
        auto* layout = new VTLabelLayoutDataGenericCDStandard;
        auto project = std::make_unique<VTProject>(layout);
        project->templates.GetAt(0)->backgroundBrush.Reset(Red());
        project->templates.GetAt(1)->backgroundBrush.Reset(Red());
        return project;
    }

    TemporaryFolder m_folder;
};

} // namespace

TEST_F(Export, PdfOfAPortraitPage)
{
    auto project = RedProject();
    LUserSettingSetString("Settings", "PrintTemplateOutlineWidth", "1.0");
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
    Recorder job;
    const std::string pdf = Path("disc.pdf");
    ASSERT_EQ(ExportPdf(*project, page, pdf, job), LProcessResultSuccess) << job.error;
    EXPECT_TRUE(Leftovers().empty());

    const std::string info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    // A4 at its size in points, not whole points.
    EXPECT_NE(info.find("595.276 x 841.89 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("ZOR PDF-fil"), std::string::npos) << info;
    EXPECT_NE(info.find("ZOR-program"), std::string::npos) << info;

    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_EQ(r.width, 596);
    ASSERT_EQ(r.height, 842);
    const double cx = 210 * kK / 2, cy = 297 * kK / 2;
    EXPECT_TRUE(IsRed(r.At(int(cx + 40 * kK), int(cy))));
    EXPECT_TRUE(IsRed(r.At(int(cx), int(cy - 45 * kK))));
    EXPECT_TRUE(IsWhite(r.At(int(cx), int(cy)))); // the hole
    EXPECT_TRUE(IsWhite(r.At(int(cx + 80 * kK), int(cy))));
    // The outline is always drawn in PDF export: grey at 60 mm.
    DrawPixel edge = r.At(int(std::lround(cx + 60 * kK)), int(cy));
    EXPECT_EQ(edge.r, edge.b);
    EXPECT_LT(edge.r, 245);
    EXPECT_GT(edge.r, 200);
}

// Photos go into the PDF as they are, each at its own size in pixels, and the export holds no
// second copy of them: its peak memory rises over the loaded project by less than their pixels.
TEST_F(Export, PdfHoldsThePhotosOnceAtTheirOwnSizes)
{
    auto project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
    VTProjectTemplate* disc = project->templates.GetAt(0);
    const uint64_t pixels = sample::AddPhotos(*disc, 6, 1200, 801);
    // One with alpha, whose mask is made while the page is written.
    VTOverlayImage* clear = sample::Picture(new VTOverlayImage, *disc, 1000, 7, 0, 30);
    const uint64_t all = pixels + clear->GetImage().GetStride() * 750;
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
    const std::string pdf = Path("photos.pdf");
    Recorder job;
    LProcessResult result = LProcessResultError;
    const long long riseKb = PeakRiseKb([&] { result = ExportPdf(*project, page, pdf, job); });
    ASSERT_EQ(result, LProcessResultSuccess) << job.error;
    if (riseKb < 0)
        GTEST_SKIP() << "the peak resident memory cannot be put back here";
    std::printf("[ memory ] PDF export: peak %lld kB over the project, pictures %llu kB\n", riseKb,
        (unsigned long long)(all / 1024));
    EXPECT_LT(uint64_t(riseKb) * 1024, all);

    std::vector<std::string> expected(6, "image 1200 801");
    expected.insert(expected.begin(), { "image 1000 750" });
    expected.push_back("smask 1000 750");
    EXPECT_EQ(PdfImages(pdf), expected);
    // The written file holds the pictures no longer.
    for (VTOverlay* o = disc->first; o; o = o->next)
        EXPECT_EQ(static_cast<VTOverlayImage*>(o)->image->GetRefCount(), 1);
}

TEST_F(Export, PdfOfALandscapePage)
{
    auto project = RedProject();
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(1);
    Recorder job;
    const std::string pdf = Path("front.pdf");
    ASSERT_EQ(ExportPdf(*project, page, pdf, job), LProcessResultSuccess) << job.error;
    const std::string info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("841.89 x 595.276 pts (A4)"), std::string::npos) << info;
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_EQ(r.width, 842);
    // The 240 x 120 mm front lies across the turned page, centred.
    const double cx = 297 * kK / 2, cy = 210 * kK / 2;
    EXPECT_TRUE(IsRed(r.At(int(cx + 110 * kK), int(cy + 50 * kK))));
    EXPECT_TRUE(IsRed(r.At(int(cx - 110 * kK), int(cy - 50 * kK))));
    EXPECT_TRUE(IsWhite(r.At(int(cx), int(cy + 65 * kK))));
    EXPECT_TRUE(IsWhite(r.At(int(cx + 125 * kK), int(cy))));
}

TEST_F(Export, DirectToDiscPdfHasTheTrayBoxAtTheTopLeft)
{
    ASSERT_TRUE(VTOptions::PrinterTrayIDSet(36)); // tray "cFG": 131.1 x 238.8 mm
    auto* layout = new VTLabelLayoutDataDirectToCDDVDStandard;
    VTProject project(layout);
    project.templates.GetHead()->backgroundBrush.Reset(Red());
    Recorder job;
    const std::string pdf = Path("tray.pdf");
    ASSERT_EQ(ExportPdf(project, layout->pages.GetHead(), pdf, job), LProcessResultSuccess)
        << job.error;
    EXPECT_NE(ShellOutput("pdfinfo '" + pdf + "'").find("595.276 x 841.89 pts"), std::string::npos);
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_EQ(r.width, 596);
    const double cx = (131.1 / 2 - 0.05) * kK, cy = (238.8 / 2 + 23.4) * kK;
    EXPECT_TRUE(IsRed(r.At(int(cx), int(cy + 40 * kK))));
    EXPECT_TRUE(IsRed(r.At(int(cx - 40 * kK), int(cy))));
    EXPECT_TRUE(IsWhite(r.At(int(cx), int(cy))));
    // Nothing beyond the tray's box.
    EXPECT_TRUE(IsWhite(r.At(int(140 * kK), int(cy))));
    EXPECT_TRUE(IsWhite(r.At(int(cx), int(245 * kK))));
}

TEST_F(Export, FailedPdfExportsLeaveTheTargetAsItWas)
{
    auto project = sample::MakeProject(128);
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
    const std::string target = Path("kept.pdf");
    TemporaryFolder::WriteFile(target, "the old file");

    // A write that fails part-way.
    {
        Recorder job;
        LProcessResult result;
        {
            FileSizeLimit limit(3000);
            result = ExportPdf(*project, page, target, job);
        }
        EXPECT_EQ(result, LProcessResultError);
        EXPECT_EQ(job.error, "PDF-export misslyckades. Kontrollera med målfilen.");
        EXPECT_EQ(ReadAll(target), "the old file");
        EXPECT_TRUE(Leftovers().empty());
    }
    // A stop request.
    {
        Recorder job;
        job.stopAfter = 0;
        EXPECT_EQ(ExportPdf(*project, page, target, job), LProcessResultStopped);
        EXPECT_EQ(ReadAll(target), "the old file");
        EXPECT_TRUE(Leftovers().empty());
    }
    // A target that cannot be made.
    {
        Recorder job;
        EXPECT_EQ(ExportPdf(*project, page, Path("missing/folder.pdf"), job), LProcessResultError);
        EXPECT_EQ(job.error, "PDF-export misslyckades. Kontrollera med målfilen.");
        EXPECT_TRUE(Leftovers().empty());
    }
    // The same project exports when nothing stands in the way.
    Recorder job;
    EXPECT_EQ(ExportPdf(*project, page, target, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(ReadAll(target).substr(0, 5), "%PDF-");
}

// Exports onto a disk that fills up: the alert says the disk is full and that the earlier file
// is kept, and the earlier file is kept byte for byte with nothing beside it.
TEST_F(Export, AFullDiskIsNamedAndTheEarlierFileKept)
{
    auto project = sample::MakeProject(128);
    TemporaryFolder disk;
    const auto lines = smalldisk::InChild([&](FILE* report) {
        if (!smalldisk::Mount(disk.Path(), "48k")) {
            std::fprintf(report, "skip\n");
            return;
        }
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
        for (const char* name : { "skiva.pdf", "skiva.png" }) {
            const std::string target = disk / name;
            TemporaryFolder::WriteFile(target, "den gamla filen");
            Recorder job;
            LProcessResult result = std::string(name).ends_with(".pdf")
                ? ExportPdf(*project, page, target, job)
                : ExportImage(*project, page, target, job);
            std::fprintf(report, "%d|%s|%s|%zu\n", int(result), job.error.c_str(),
                ReadAll(target).c_str(), TemporaryFolder::List(disk.Path()).size());
            ::unlink(target.c_str());
        }
    });
    if (lines.size() == 1 && lines[0] == "skip")
        GTEST_SKIP() << "no mount namespace to be had";
    EXPECT_EQ(lines,
        (std::vector<std::string> { "2|Disken är full, så ”skiva.pdf” kunde inte sparas. Den "
                                    "tidigare filen finns kvar oförändrad.|den gamla filen|1",
            "2|Disken är full, så ”skiva.png” kunde inte sparas. Den tidigare filen finns kvar "
            "oförändrad.|den gamla filen|1" }));
}

TEST_F(Export, PdfIsWrittenBesideTheTargetWhereverTheTemporaryFolderIs)
{
    // The folder of temporary files on another file system than the target is not used: the
    // PDF is written beside its target and renamed over it.
    TemporaryFolder other("/dev/shm");
    ASSERT_TRUE(other.IsValid());
    setenv("XDG_CACHE_HOME", other.Path().c_str(), 1);
    auto project = RedProject();
    const std::string target = Path("copied.pdf");
    TemporaryFolder::WriteFile(target, "the old file");
    ::chmod(target.c_str(), 0640);
    Recorder job;
    LProcessResult result
        = ExportPdf(*project, project->GetLabelLayout()->pages.GetAt(0), target, job);
    const std::vector<std::string> left = TemporaryFolder::List(other.Path());
    setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
    ASSERT_EQ(result, LProcessResultSuccess) << job.error;
    EXPECT_NE(
        ShellOutput("pdfinfo '" + target + "'").find("595.276 x 841.89 pts"), std::string::npos);
    EXPECT_TRUE(left.empty());
    struct stat st = {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the old file's permissions
    for (const std::string& name : TemporaryFolder::List(m_folder.Path()))
        EXPECT_NE(name[0], '.') << name;
}

TEST_F(Export, ImageAt300Dpi)
{
    auto project = RedProject();
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
    Recorder job;
    const std::string png = Path("disc.png");
    ASSERT_EQ(ExportImage(*project, page, png, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(ShellOutput("identify -units PixelsPerInch -format '%w %h %x %y' '" + png + "'"),
        "2481 3508 300 300");
    // The disc's ring is red at 40 mm from the centre, read back by ImageMagick; the page is
    // opaque paper, so the file has no alpha channel.
    const int x = int(1240 + 40 * 300 / 25.4), y = 1753;
    EXPECT_EQ(ShellOutput("/usr/bin/convert '" + png + "' -format '%[pixel:p{" + std::to_string(x)
                  + "," + std::to_string(y) + "}]' info:"),
        "srgb(255,0,0)");
    EXPECT_EQ(ShellOutput("/usr/bin/identify -format '%[channels]' '" + png + "'"), "srgb");

    const std::string jpeg = Path("disc.jpg");
    ASSERT_EQ(ExportImage(*project, page, jpeg, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(ShellOutput("identify -format '%w %h %m' '" + jpeg + "'"), "2481 3508 JPEG");

    // Formats export does not offer.
    EXPECT_EQ(ExportImage(*project, page, Path("disc.bmp"), job), LProcessResultError);
    EXPECT_EQ(job.error, "Filformatet stöds inte.");
    EXPECT_EQ(ExportImage(*project, page, Path("disc.xyz"), job), LProcessResultError);
    EXPECT_EQ(job.error, "Filtypen känns inte igen.");
}

TEST_F(Export, FailedImageExportLeavesTheTargetAsItWas)
{
    auto project = RedProject();
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
    const std::string target = Path("kept.png");
    TemporaryFolder::WriteFile(target, "the old file");
    Recorder job;
    LProcessResult result;
    {
        FileSizeLimit limit(2000);
        result = ExportImage(*project, page, target, job);
    }
    EXPECT_EQ(result, LProcessResultError);
    EXPECT_FALSE(job.error.empty());
    EXPECT_EQ(ReadAll(target), "the old file");
    for (const std::string& name : TemporaryFolder::List(m_folder.Path()))
        EXPECT_NE(name[0], '.') << name; // no temporary file beside the target
}

TEST_F(Export, CodecRules)
{
    VTImageExportCodecVetoer exportRule;
    VTImageCodecVetoer openRule;
    std::vector<uint32_t> exported, opened;
    for (uint32_t codec = 0; codec < 32; ++codec) {
        if (exportRule.IsEnabled(codec, LImageIOTypeSave))
            exported.push_back(codec);
        if (openRule.IsEnabled(codec, LImageIOTypeLoad))
            opened.push_back(codec);
    }
    EXPECT_EQ(exported, (std::vector<uint32_t> { 4, 5, 7, 25 }));
    // The open rule's own set, as far as the framework's rule loads them (whether WBMP is
    // offered is the framework's rule's business).
    LImageCodecVetoer framework;
    std::vector<uint32_t> expected;
    for (uint32_t codec : { 0, 2, 4, 6, 7, 8, 9, 10, 24, 25, 26 })
        if (framework.IsEnabled(codec, LImageIOTypeLoad))
            expected.push_back(codec);
    EXPECT_EQ(opened, expected);
    EXPECT_GE(opened.size(), 10u);
    EXPECT_FALSE(exportRule.IsEnabled(LImageCodec::BMP, LImageIOTypeSave));
    EXPECT_FALSE(openRule.IsEnabled(LImageCodec::DNG, LImageIOTypeLoad));
    EXPECT_FALSE(openRule.IsEnabled(LImageCodec::HEIC, LImageIOTypeLoad));

    // The export file panel's filter offers the four formats.
    LImageCodecFilterList filters;
    ASSERT_TRUE(filters.Init(LImageIOTypeSave, exportRule));
    std::vector<int32_t> codecs;
    for (const LImageCodecFilterItem& item : filters)
        codecs.push_back(item.codec);
    std::sort(codecs.begin(), codecs.end());
    EXPECT_EQ(codecs, (std::vector<int32_t> { 4, 5, 7, 25 }));
}

// Overlay text sizes are points: the cap height of an 18-point DejaVu Sans "HHHH" at 300 dpi is
// the font's (0.729 em of 75 px), in the PNG and in the PDF rasterised by poppler.
TEST_F(Export, TextSizesArePoints)
{
    auto* layout = new VTLabelLayoutDataGenericCDStandard;
    VTProject project(layout);
    VTProjectTemplate* disc = project.templates.GetAt(0);
    auto* text = new VTOverlayText(
        "HHHH", LGuiFontEx(LGuiFont(18, false, false, false, "DejaVu Sans", false)));
    text->centreY = -40;
    text->width = 80;
    text->height = 30;
    disc->InsertOverlay(text, false);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetAt(0);
    Recorder job;
    const double expected = 18.0 / 72.0 * 300.0 * 0.729;
    // The height of what is darker than mid grey (the outlines are lighter).
    auto inkHeight = [](const std::string& image) {
        return std::atof(ShellOutput("/usr/bin/convert '" + image
            + "' -colorspace Gray -threshold 40% -trim -format '%h' info:")
                             .c_str());
    };
    const std::string png = Path("text.png");
    ASSERT_EQ(ExportImage(project, page, png, job), LProcessResultSuccess) << job.error;
    EXPECT_NEAR(inkHeight(png), expected, expected * 0.1);

    const std::string pdf = Path("text.pdf");
    ASSERT_EQ(ExportPdf(project, page, pdf, job), LProcessResultSuccess) << job.error;
    ShellOutput("pdftoppm -r 300 -png -singlefile '" + pdf + "' '" + Path("text-pdf") + "'");
    EXPECT_NEAR(inkHeight(Path("text-pdf.png")), expected, expected * 0.1);
}

// Every export format records 300 dpi exactly.
TEST_F(Export, ResolutionIsRecordedExactly)
{
    auto project = RedProject();
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetAt(0);
    Recorder job;
    const std::string tiff = Path("disc.tif");
    ASSERT_EQ(ExportImage(*project, page, tiff, job), LProcessResultSuccess) << job.error;
    // The rationals are 300/1, read from the file's directory with Python.
    EXPECT_EQ(ShellOutput("python3 -c \"import struct,sys\n"
                          "d=open(sys.argv[1],'rb').read()\n"
                          "e='<' if d[:2]==b'II' else '>'\n"
                          "o=struct.unpack(e+'I',d[4:8])[0]\n"
                          "n=struct.unpack(e+'H',d[o:o+2])[0]\n"
                          "for i in range(n):\n"
                          " t,ty,c,v=struct.unpack(e+'HHII',d[o+2+12*i:o+14+12*i])\n"
                          " if t in (282,283): print(t,*struct.unpack(e+'II',d[v:v+8]))\" '"
                  + tiff + "'"),
        "282 300 1\n283 300 1\n");

    const std::string jp2 = Path("disc.jp2");
    ASSERT_EQ(ExportImage(*project, page, jp2, job), LProcessResultSuccess) << job.error;
    // The display resolution box (res/resd) holds 300 dpi as grid points per metre.
    EXPECT_EQ(ShellOutput("python3 -c \"import struct,sys\n"
                          "d=open(sys.argv[1],'rb').read()\n"
                          "i=d.find(b'resd')\n"
                          "vn,vd,hn,hd,ve,he=struct.unpack('>HHHHbb',d[i+4:i+14])\n"
                          "print(round(vn/vd*10**ve*0.0254,9),round(hn/hd*10**he*0.0254,9))\" '"
                  + jp2 + "'"),
        "300.0 300.0\n");
    LImageBuffer back;
    LProcessInterfaceVoid quiet;
    LProcessImageLoadFile load(jp2.c_str(), 0, nullptr, back);
    ASSERT_EQ(Process(quiet, load), LProcessResultSuccess);
    EXPECT_EQ(back.GetFormat().horizontalResolution, 11811); // 300 dpi in whole pixels per metre
}
