#include "app/VTProjectFile.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageFile.h"
#include "support/DocumentTestSupport.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// ---- A job interface that records what it is told and may ask to stop.

struct Recorder : LProcessInterfaceVoid {
    std::string error;
    int stopAfter = -1; // IsToStop answers true after this many calls
    int stopCalls = 0;

    bool IsToStop() override { return stopAfter >= 0 && stopCalls++ >= stopAfter; }
    void SetError(const char* text) override
    {
        error = text;
        ++errors; // each one an alert in the window
    }
    int errors = 0;
    void SetStatus(const char* text, int level) override
    {
        if (text && std::strncmp(text, "Kodning", 7) == 0)
            ++encodings;
        LProcessInterfaceVoid::SetStatus(text, level);
    }
    int encodings = 0; // pictures encoded
};

// ---- Chunk bytes written by hand, as the file format describes them (all little-endian).

std::string Le(uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}
std::string Chunk(uint16_t id, uint16_t type, const std::string& payload)
{
    return Le(id, 2) + Le(type, 2) + Le(payload.size(), 8) + payload;
}
std::string Box(uint16_t id, const std::vector<std::string>& children)
{
    std::string payload;
    for (const std::string& c : children)
        payload += c;
    return Chunk(id, 0, payload);
}
std::string Int(uint16_t id, int32_t v)
{
    return Chunk(id, 2, Le(uint32_t(v), 4));
}
std::string Bool(uint16_t id, bool v)
{
    return Chunk(id, 1, std::string(1, v ? '\1' : '\0'));
}
std::string Float(uint16_t id, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return Chunk(id, 4, Le(bits, 4));
}
std::string Str(uint16_t id, const std::string& text)
{
    return Chunk(id, 6, text + std::string(1, '\0'));
}
std::string Blob(uint16_t id, const std::string& bytes)
{
    return Chunk(id, 7, bytes);
}
// A whole file: the header, the root container and the trailer.
std::string Doc(const std::vector<std::string>& top, uint16_t version = 3, uint32_t type = 7)
{
    return "lsdf" + Le(1, 2) + Le(type, 4) + Le(version, 2) + Box(0, top) + "lsdf";
}
std::string ProgramInfo()
{
    return Box(1, { Str(1, "6.27"), Str(2, "mac") });
}
std::string Colour(uint16_t id, int r, int g, int b, int a)
{
    return Box(id, { Int(1, r), Int(2, g), Int(3, b), Int(4, a) });
}
std::string SolidBrush()
{
    return Box(6,
        { Box(15, { Int(13, 1) }), Box(11, { Int(1, 10), Int(2, 20), Int(3, 30), Int(4, 255) }) });
}
std::string Placement(float x = 1, float y = 2, float w = 30, float h = 10, float r = 0)
{
    return Box(1, { Float(1, x), Float(2, y), Float(3, w), Float(4, h), Float(5, r) });
}
std::string Ring()
{
    return Box(5, { Float(1, 118), Float(2, 36), Bool(3, false), Float(4, 40), Float(5, 38) });
}
// The layout chunk (2) of the generic CD layout, as the writer makes it: it follows the program
// information in the project container.
std::string Layout()
{
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LProcessInterfaceVoid job;
    if (VTProjectWriteSDF(job, stream, project) != LProcessResultSuccess)
        return std::string();
    const std::string all(reinterpret_cast<const char*>(bytes.GetData()), bytes.GetSize());
    auto length = [&](size_t at) {
        uint64_t n = 0;
        for (int i = 7; i >= 0; --i)
            n = (n << 8) | uint8_t(all[at + 4 + size_t(i)]);
        return size_t(n);
    };
    const size_t info = 36, layout = info + 12 + length(info);
    return all.substr(layout, 12 + length(layout));
}
// A project of one design of the format holding the given chunks after its brush and ids.
std::string OneDesign(
    int format, const std::vector<std::string>& content, uint16_t version = 3, bool withRing = true)
{
    std::vector<std::string> design = { SolidBrush() };
    design.insert(design.end(), content.begin(), content.end());
    design.push_back(Box(4, { Int(1, 0) }));
    if (format == 0 && withRing)
        design.push_back(Ring());
    return Doc(
        { Box(1, { ProgramInfo(), Layout(), Box(3, { Box(uint16_t(format + 1), design) }) }) },
        version);
}
std::string TextOverlay(uint16_t id, const std::string& text, int alignment = 4,
    const std::string& face = "DejaVu Sans")
{
    return Box(id,
        { Placement(), Str(2, text),
            Box(3, { Str(1, face), Int(2, 12), Bool(3, false), Bool(4, false), Bool(5, false) }),
            Int(4, alignment), Colour(5, 255, 255, 255, 0), Colour(6, 0, 0, 0, 255) });
}
std::string Identity(size_t bytes = 64)
{
    std::string out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float v = r == c ? 1.0f : 0.0f;
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            out += Le(bits, 4);
        }
    out.resize(bytes, '\0');
    return out;
}
std::string ImageOverlay(uint16_t id, const std::string& matrix)
{
    return Box(id, { Placement(), Blob(2, ""), Str(3, "/a.png"), Bool(4, true), Blob(5, matrix) });
}
std::string GradientBrush(int kind, int stops)
{
    std::vector<std::string> gradient;
    for (int i = 0; i < stops; ++i)
        gradient.push_back(Box(10,
            { Float(5, float(i) / 25.0f), Int(1, i), Int(2, 2 * i), Int(3, 3 * i), Int(4, 255) }));
    gradient.push_back(Box(14, { Float(6, 0), Float(7, 0), Float(8, 1), Float(9, 1) }));
    return Box(6,
        { Box(15, { Int(13, kind) }), Box(11, { Int(1, 1), Int(2, 2), Int(3, 3), Int(4, 4) }),
            Box(12, gradient) });
}

// ---- Comparing projects.

void ExpectFontsEqual(const LGuiFont& a, const LGuiFont& b)
{
    char na[260], nb[260];
    a.GetName(na, sizeof na);
    b.GetName(nb, sizeof nb);
    EXPECT_STREQ(na, nb);
    EXPECT_EQ(a.GetSize(), b.GetSize());
    EXPECT_EQ(a.IsBold(), b.IsBold());
    EXPECT_EQ(a.IsItalic(), b.IsItalic());
    EXPECT_EQ(a.IsUnderlined(), b.IsUnderlined());
}

bool SameColour(const LPFB8G8R8A8& a, const LPFB8G8R8A8& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

void ExpectPicturesEqual(const LImageBuffer& a, const LImageBuffer& b)
{
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    if (a.GetWidth() == 0)
        return;
    for (int y = 0; y < a.GetHeight(); ++y)
        ASSERT_EQ(0,
            std::memcmp(a.GetData() + a.GetStride() * y, b.GetData() + b.GetStride() * y,
                size_t(a.GetWidth()) * 4))
            << "row " << y;
}

void ExpectOverlaysEqual(const VTOverlay& a, const VTOverlay& b)
{
    ASSERT_EQ(a.GetType(), b.GetType());
    EXPECT_EQ(a.centreX, b.centreX);
    EXPECT_EQ(a.centreY, b.centreY);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.rotation, b.rotation);
    if (a.GetType() == VTOverlayTypeText || a.GetType() == VTOverlayTypeCircularText) {
        auto& ta = static_cast<const VTOverlayText&>(a);
        auto& tb = static_cast<const VTOverlayText&>(b);
        EXPECT_STREQ(ta.GetText(), tb.GetText());
        ExpectFontsEqual(ta.font, tb.font);
        EXPECT_EQ(ta.alignment, tb.alignment);
        EXPECT_TRUE(SameColour(ta.textColour, tb.textColour));
        EXPECT_TRUE(SameColour(ta.backgroundColour, tb.backgroundColour));
        if (a.GetType() == VTOverlayTypeCircularText) {
            EXPECT_EQ(static_cast<const VTOverlayCircularText&>(a).centreAngle,
                static_cast<const VTOverlayCircularText&>(b).centreAngle);
            EXPECT_EQ(static_cast<const VTOverlayCircularText&>(a).outerRadius,
                static_cast<const VTOverlayCircularText&>(b).outerRadius);
        }
    } else {
        auto& ia = static_cast<const VTOverlayImage&>(a);
        auto& ib = static_cast<const VTOverlayImage&>(b);
        EXPECT_TRUE(ia.transform == ib.transform);
        EXPECT_STREQ(ia.sourcePath, ib.sourcePath);
        EXPECT_EQ(ia.maintainAspectRatio, ib.maintainAspectRatio);
        EXPECT_EQ(ia.HasValidImage(), ib.HasValidImage());
        if (ia.HasValidImage())
            ExpectPicturesEqual(ia.GetImage(), ib.GetImage());
    }
}

void ExpectBrushesEqual(const LBrushInfo* a, const LBrushInfo* b)
{
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a)
        return;
    EXPECT_EQ(a->kind, b->kind);
    if (a->kind == LBrushInfoKindSolid) {
        EXPECT_TRUE(a->color == b->color);
    }
    if (a->kind == LBrushInfoKindLinearGradient || a->kind == LBrushInfoKindRadialGradient) {
        ASSERT_EQ(a->stopCount, b->stopCount);
        for (uint32_t i = 0; i < a->stopCount; ++i) {
            EXPECT_EQ(a->stopPositions[i], b->stopPositions[i]);
            EXPECT_TRUE(a->stopColors[i] == b->stopColors[i]);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(a->geometry[i], b->geometry[i]);
    }
}

void ExpectProjectsEqual(VTProject& a, VTProject& b)
{
    ASSERT_EQ(a.GetLabelLayout() == nullptr, b.GetLabelLayout() == nullptr);
    if (a.GetLabelLayout()) {
        EXPECT_STREQ(a.GetLabelLayout()->key, b.GetLabelLayout()->key);
        EXPECT_EQ(a.GetLabelLayout()->paperSize, b.GetLabelLayout()->paperSize);
        EXPECT_EQ(a.GetLabelLayout()->pages.GetCount(), b.GetLabelLayout()->pages.GetCount());
    }
    ASSERT_EQ(a.templates.GetCount(), b.templates.GetCount());
    for (size_t i = 0; i < a.templates.GetCount(); ++i) {
        SCOPED_TRACE(i);
        VTProjectTemplate* da = a.templates.GetAt(i);
        VTProjectTemplate* db = b.templates.GetAt(i);
        EXPECT_EQ(da->format, db->format);
        ExpectBrushesEqual(da->backgroundBrush.Get(), db->backgroundBrush.Get());
        EXPECT_STREQ(da->backgroundImagePath, db->backgroundImagePath);
        std::vector<int> ida, idb;
        for (const VTLabelLayoutTemplateID& m : da->mappedIDs)
            ida.push_back(m.id);
        for (const VTLabelLayoutTemplateID& m : db->mappedIDs)
            idb.push_back(m.id);
        EXPECT_EQ(ida, idb);
        if (da->format == VTTemplateFormatDisc) {
            float o1, i1, bo1, bi1, o2, i2, bo2, bi2;
            bool u1, u2;
            dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(da->GetTemplateData())
                ->GetDiscPrintableArea(o1, i1, u1, bo1, bi1);
            dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(db->GetTemplateData())
                ->GetDiscPrintableArea(o2, i2, u2, bo2, bi2);
            EXPECT_EQ(o1, o2);
            EXPECT_EQ(i1, i2);
            EXPECT_EQ(u1, u2);
            EXPECT_EQ(bo1, bo2);
            EXPECT_EQ(bi1, bi2);
        }
        ASSERT_EQ(da->GetCount(), db->GetCount());
        for (size_t k = 0; k < da->GetCount(); ++k) {
            SCOPED_TRACE(k);
            ExpectOverlaysEqual(*da->GetItemAt(k), *db->GetItemAt(k));
        }
    }
}

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
    }

    std::string Path(const char* name) const { return m_folder / name; }

    static LProcessResult Save(VTProject& project, const std::string& path, Recorder& job)
    {
        VTProjectSave save;
        save.project = &project;
        std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
        return Process(job, save);
    }
    static LProcessResult Load(const std::string& path, VTProject& project, Recorder& job)
    {
        VTProjectLoad load;
        load.project = &project;
        std::snprintf(load.path, sizeof load.path, "%s", path.c_str());
        return Process(job, load);
    }
    // Reads bytes as a project file (through the memory stream, as the clipboard would).
    static LProcessResult Read(const std::string& bytes, VTProject& project, Recorder& job)
    {
        LInputStreamBuffer stream(bytes.data(), bytes.size());
        return VTProjectReadSDF(job, stream, project);
    }
    static std::string ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Temporary files (".<name>.XXXXXX") left in a folder.
    static std::vector<std::string> Leftovers(const std::string& folder)
    {
        std::vector<std::string> out;
        for (const std::string& name : TemporaryFolder::List(folder))
            if (name[0] == '.') // ".<name>.XXXXXX"
                out.push_back(name);
        return out;
    }

    TemporaryFolder m_folder;
};

} // namespace

TEST_F(ProjectFile, SavesReopensEqualAndSavesAgainByteForByte)
{
    auto project = sample::MakeProject();
    Recorder job;
    const std::string first = Path("sample.vtproj");
    ASSERT_EQ(Save(*project, first, job), LProcessResultSuccess) << job.error;
    EXPECT_STREQ(project->GetPath(), first.c_str());
    EXPECT_EQ(project->GetSaveState(), VTProjectSaveStateSaved);

    VTProject reopened;
    ASSERT_EQ(Load(first, reopened, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(job.error, "");
    EXPECT_STREQ(reopened.GetPath(), first.c_str());
    EXPECT_EQ(reopened.GetSaveState(), VTProjectSaveStateSaved);
    ExpectProjectsEqual(*project, reopened);

    // Every overlay kind came back as its own kind, in order.
    VTProjectTemplate* disc = reopened.templates.GetAt(0);
    std::vector<int> kinds;
    for (const VTOverlay* o = disc->first; o; o = o->next)
        kinds.push_back(o->GetType());
    EXPECT_EQ(kinds, (std::vector<int> { 4, 0, 2, 1, 3, 3 }));

    const std::string second = Path("again.vtproj");
    ASSERT_EQ(Save(reopened, second, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(ReadAll(first), ReadAll(second));
    // No temporary file is left beside them.
    EXPECT_TRUE(Leftovers(m_folder.Path()).empty());
}

TEST_F(ProjectFile, HeaderAndProgramInformation)
{
    auto project = sample::MakeProject(8);
    Recorder job;
    const std::string path = Path("info.vtproj");
    ASSERT_EQ(Save(*project, path, job), LProcessResultSuccess) << job.error;
    const std::string bytes = ReadAll(path);
    // "lsdf", format 1, file type 7, version 3, the root container, the trailer.
    ASSERT_GT(bytes.size(), 28u);
    EXPECT_EQ(bytes.substr(0, 4), "lsdf");
    EXPECT_EQ(bytes.substr(4, 8), Le(1, 2) + Le(7, 4) + Le(3, 2));
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "lsdf");
    // The first chunk of the project is the program information: "6.27" and "mac".
    const std::string expected = Box(1, { Str(1, "6.27"), Str(2, "mac") });
    EXPECT_EQ(bytes.substr(24 + 12, expected.size()), expected);
    EXPECT_EQ(bytes.substr(24, 4), Le(1, 2) + Le(0, 2)); // chunk 1, a container
}

TEST_F(ProjectFile, EmptyProjectKeepsAnEmptyDesignList)
{
    VTProject empty;
    empty.layout.Reset(new VTLabelLayoutDataGenericCDStandard);
    Recorder job;
    const std::string path = Path("empty.vtproj");
    ASSERT_EQ(Save(empty, path, job), LProcessResultSuccess) << job.error;
    const std::string bytes = ReadAll(path);
    EXPECT_NE(bytes.find(Box(3, {})), std::string::npos);
    VTProject reopened;
    ASSERT_EQ(Load(path, reopened, job), LProcessResultSuccess) << job.error;
    EXPECT_TRUE(reopened.templates.IsEmpty());
}

TEST_F(ProjectFile, VersionsUpToThreeAreRead)
{
    for (uint16_t version = 0; version <= 4; ++version) {
        SCOPED_TRACE(version);
        VTProject project;
        Recorder job;
        LProcessResult result = Read(OneDesign(1, {}, version), project, job);
        if (version <= 3) {
            EXPECT_EQ(result, LProcessResultSuccess) << job.error;
            EXPECT_EQ(project.templates.GetCount(), 1u);
        } else {
            EXPECT_EQ(result, LProcessResultError);
            EXPECT_EQ(job.error, "Det här projektet sparades med en nyare version av Vorantel.");
        }
    }
}

TEST_F(ProjectFile, ReaderErrorsAndTolerances)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* error; // null: the file loads
    };
    const std::string cdFront = "";
    const Case cases[] = {
        { "alignment 9", OneDesign(1, { TextOverlay(2, "x", 9) }),
            "Det gick inte att läsa textjusteringen." },
        { "alignment -1", OneDesign(1, { TextOverlay(7, "x", -1) }),
            "Det gick inte att läsa textjusteringen." },
        { "alignment 8", OneDesign(1, { TextOverlay(2, "x", 8) }), nullptr },
        { "disc without ring", OneDesign(0, {}, 3, false),
            "Det gick inte att läsa projektmallen." },
        { "CD front without ring", OneDesign(1, {}), nullptr },
        { "ring on a CD front", OneDesign(1, { Ring() }),
            "Det gick inte att läsa mallskivans dimensioner." },
        { "not a project", Doc({ ProgramInfo() }, 3, 8), "Filen är inte ett Vorantel-projekt." },
        { "first chunk not the project", Doc({ Box(2, {}) }),
            "Filen är inte ett Vorantel-projekt." },
        { "no program version", Doc({ Box(1, { Box(1, { Str(2, "mac") }) }) }),
            "Fel läsning av programinformation" },
        { "unknown program information",
            Doc({ Box(1, { Box(1, { Str(1, "6.27"), Str(2, "mac"), Str(3, "x") }) }) }),
            "Okänd programinformation." },
        { "empty id list", Doc({ Box(1, { Box(3, { Box(2, { SolidBrush(), Box(4, {}) }) }) }) }),
            "Det gick inte att läsa mall-ID-listan." },
        { "id of another id",
            Doc({ Box(1, { Box(3, { Box(2, { SolidBrush(), Box(4, { Int(2, 0) }) }) }) }) }),
            "Okänt mall-ID-format." },
        { "short id",
            Doc({ Box(1, { Box(3, { Box(2, { SolidBrush(), Box(4, { Bool(1, true) }) }) }) }) }),
            "Det gick inte att läsa mall-ID-listkomponenten." },
        { "no brush", Doc({ Box(1, { Box(3, { Box(2, { Box(4, { Int(1, 0) }) }) }) }) }),
            "Det gick inte att läsa projektmallen." },
        { "short placement",
            OneDesign(1, { Box(3, { Box(1, { Float(1, 1), Chunk(2, 4, "ab") }) }) }),
            "Fel läsning centrum position." },
        { "placement incomplete", OneDesign(1, { Box(3, { Box(1, { Float(1, 1) }) }) }),
            "Det gick inte att läsa överlagringsegenskaper." },
        { "placement not a number",
            OneDesign(1,
                { Box(3,
                    { Box(1,
                        { Float(1, 1), Float(2, 1), Float(3, NAN), Float(4, 1),
                            Float(5, 0) }) }) }),
            "Fel läsning dimensioner." },
        { "unknown font attribute",
            OneDesign(1, { Box(2, { Box(3, { Str(1, "DejaVu Sans"), Int(6, 1) }) }) }),
            "Okänt teckensnittsattributformat." },
        { "colour without alpha",
            OneDesign(1, { Box(2, { Box(6, { Int(1, 1), Int(2, 1), Int(3, 1) }) }) }),
            "Det gick inte att läsa färg." },
        { "unknown colour id", OneDesign(1, { Box(2, { Box(6, { Int(9, 1) }) }) }),
            "Okänt färgformat." },
        { "short transform", OneDesign(1, { ImageOverlay(3, Identity(63)) }),
            "Det gick inte att läsa bildmatrisen." },
        { "long transform", OneDesign(1, { ImageOverlay(9, Identity(65)) }),
            "Det gick inte att läsa bildmatrisen." },
        { "short clipart transform", OneDesign(1, { ImageOverlay(8, Identity(16)) }),
            "Det gick inte att läsa ClipArt-matrisen." },
        { "empty picture blob", OneDesign(1, { ImageOverlay(8, Identity()) }), nullptr },
        { "undecodable picture",
            OneDesign(1, { Box(3, { Placement(), Blob(2, "not a png at all") }) }),
            "Det gick inte att avkoda bilden." },
        { "undecodable clipart", OneDesign(1, { Box(8, { Placement(), Blob(2, "junk") }) }),
            "Det gick inte att koda clipart." },
        { "twenty stops", OneDesign(1, { GradientBrush(2, 20) }), nullptr },
        { "twenty-one stops", OneDesign(1, { GradientBrush(3, 21) }),
            "Det gick inte att läsa färg." },
        { "gradient without direction",
            OneDesign(1,
                { Box(6,
                    { Box(15, { Int(13, 2) }),
                        Box(12,
                            { Box(10,
                                { Float(5, 0), Int(1, 0), Int(2, 0), Int(3, 0),
                                    Int(4, 0) }) }) }) }),
            "Det gick inte att läsa färg." },
        { "brush of an unknown chunk", OneDesign(1, { Box(6, { Int(99, 1) }) }),
            "Okänt färgformat." },
        { "brush type missing", OneDesign(1, { Box(6, { Box(15, { Int(12, 1) }) }) }),
            "Det gick inte att läsa färg." },
        { "background path without its string",
            OneDesign(1, { Box(6, { Box(15, { Int(13, 0) }), Box(16, {}) }) }),
            "Det gick inte att läsa sökvägen till bakgrundsbildsfilen." },
        { "centre beyond any sheet", OneDesign(1, { Box(2, { Placement(1e30f) }) }),
            "Fel läsning centrum position." },
        { "size beyond any sheet", OneDesign(1, { Box(3, { Placement(0, 0, 30, 2e5f) }) }),
            "Fel läsning dimensioner." },
        { "circle beyond any disc",
            OneDesign(1, { Box(7, { Float(8, 1e12f) }) }), "Error reading outer radius." },
        { "centre angle not a number", OneDesign(1, { Box(7, { Float(7, NAN) }) }),
            "Error reading centre angle." },
        { "centre angle of 7.7e31 degrees", OneDesign(1, { Box(7, { Float(7, 7.7e31f) }) }),
            "Error reading centre angle." },
        { "a thousand turns read", OneDesign(1, { Box(7, { Float(7, -360000) }) }), nullptr },
        { "rotation of -6.3e15 degrees",
            OneDesign(1, { Box(2, { Placement(1, 2, 30, 10, -6.3e15f) }) }),
            "Det gick inte att läsa rotationsvinkel." },
        { "transform beyond any sheet",
            OneDesign(1, { ImageOverlay(3, [] { std::string m = Identity(); float v = 3e9f;
                std::memcpy(&m[48], &v, 4); return m; }()) }),
            "Det gick inte att läsa bildmatrisen." },
        { "ring beyond any disc",
            OneDesign(0, { Box(5, { Float(1, 2e21f), Float(2, 36), Bool(3, false), Float(4, 40), Float(5, 38) }) }, 3, false),
            "Det gick inte att läsa skivdimensioner." },
        { "gradient beyond reason",
            OneDesign(1, { Box(6, { Box(15, { Int(13, 2) }), Box(12, { Box(10, { Float(5, 0), Int(1, 0), Int(2, 0), Int(3, 0), Int(4, 0) }), Box(14, { Float(6, 0), Float(7, 0), Float(8, 1e9f), Float(9, 1) }) }) }) }),
            "Det gick inte att läsa färgkomponenten." },
        { "design of an unknown format skipped",
            Doc({ Box(1, { ProgramInfo(), Layout(), Box(3, { Box(7, { Int(1, 1) }) }) }) }), nullptr },
        { "unknown chunks skipped",
            OneDesign(1, { Int(99, 5), Box(2, { Placement(), Int(50, 1), Str(2, "ok") }) }),
            nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VTProject project;
        Recorder job;
        LProcessResult result = Read(c.bytes, project, job);
        if (c.error) {
            EXPECT_EQ(result, LProcessResultError);
            EXPECT_EQ(job.error, c.error);
            EXPECT_EQ(job.errors, 1) << "one failure, one message";
        } else {
            EXPECT_EQ(result, LProcessResultSuccess) << job.error;
        }
    }
}

TEST_F(ProjectFile, BrushChunksAsTheFileSaysThem)
{
    // A solid brush whose gradient chunk is skipped.
    VTProject solid;
    Recorder job;
    ASSERT_EQ(Read(OneDesign(1, { GradientBrush(1, 3) }), solid, job), LProcessResultSuccess);
    const LBrushInfo* brush = solid.templates.GetHead()->backgroundBrush.Get();
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->kind, LBrushInfoKindSolid);
    EXPECT_TRUE(brush->color == LGuiColorAlpha(0x100, 0x200, 0x300, 4));
    EXPECT_EQ(brush->stopCount, 0u);

    // Twenty stops fill the description.
    VTProject twenty;
    ASSERT_EQ(Read(OneDesign(1, { GradientBrush(2, 20) }), twenty, job), LProcessResultSuccess);
    brush = twenty.templates.GetHead()->backgroundBrush.Get();
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->stopCount, 20u);
    EXPECT_TRUE(brush->stopColors[19] == LGuiColorAlpha(19 << 8, 38 << 8, 57 << 8, 255));

    // An older background colour becomes a solid brush.
    VTProject legacy;
    std::string bytes = Doc({ Box(1,
        { ProgramInfo(), Layout(),
            Box(3, { Box(4, { Colour(1, 12, 34, 56, 200), Box(4, { Int(1, 7) }) }) }) }) });
    ASSERT_EQ(Read(bytes, legacy, job), LProcessResultSuccess) << job.error;
    brush = legacy.templates.GetHead()->backgroundBrush.Get();
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(legacy.templates.GetHead()->format, VTTemplateFormatJewelCaseInsert);
    EXPECT_TRUE(brush->color == LGuiColorAlpha(12 << 8, 34 << 8, 56 << 8, 200));

    // A background image path of 300 bytes is kept to its first 259.
    VTProject image;
    std::string longPath(300, 'p');
    bytes = OneDesign(1, {});
    bytes = Doc({ Box(1,
        { ProgramInfo(), Layout(),
            Box(3,
                { Box(2,
                    { Box(6, { Box(15, { Int(13, 0) }), Box(16, { Str(17, longPath) }) }),
                        Box(4, { Int(1, 0) }) }) }) }) });
    ASSERT_EQ(Read(bytes, image, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(image.templates.GetHead()->backgroundBrush.Get(), nullptr);
    EXPECT_EQ(std::string(image.templates.GetHead()->backgroundImagePath), longPath.substr(0, 259));
}

TEST_F(ProjectFile, LineEndsAndMissingFonts)
{
    VTProject project;
    Recorder job;
    ASSERT_EQ(
        Read(OneDesign(1, { TextOverlay(2, "a\r\nb\rc"), TextOverlay(7, "a\r\nb") }), project, job),
        LProcessResultSuccess)
        << job.error;
    const VTOverlay* straight = project.templates.GetHead()->first;
    ASSERT_NE(straight, nullptr);
    EXPECT_STREQ(static_cast<const VTOverlayText*>(straight)->GetText(), "a\nb\nc");
    ASSERT_NE(straight->next, nullptr);
    EXPECT_EQ(straight->next->GetType(), VTOverlayTypeCircularText);
    EXPECT_STREQ(static_cast<const VTOverlayText*>(straight->next)->GetText(), "a\r\nb");

    // A face this system lacks: the load succeeds and says so.
    VTProject missing;
    Recorder told;
    const std::string path = Path("font.vtproj");
    TemporaryFolder::WriteFile(path, OneDesign(1, { TextOverlay(2, "x", 4, "No Such Face Qq") }));
    ASSERT_EQ(Load(path, missing, told), LProcessResultSuccess);
    EXPECT_EQ(told.error,
        "Fel. Teckensnittet \"No Such Face Qq\" är inte tillgängligt på det här systemet");
    EXPECT_EQ(missing.templates.GetHead()->GetCount(), 1u);
}

TEST_F(ProjectFile, LoadJobChecksTheFile)
{
    Recorder job;
    VTProject project;
    EXPECT_EQ(Load(Path("none.vtproj"), project, job), LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att hitta filen.");

    TemporaryFolder::WriteFile(Path("other.txt"), OneDesign(1, {}));
    EXPECT_EQ(Load(Path("other.txt"), project, job), LProcessResultError);
    EXPECT_EQ(job.error, "Filen är inte ett Vorantel-projekt.");

    TemporaryFolder::WriteFile(Path("junk.vtproj"), "this is no container");
    EXPECT_EQ(Load(Path("junk.vtproj"), project, job), LProcessResultError);
    EXPECT_EQ(job.error, "Filen är inte ett Vorantel-projekt.");

    // The extension is compared without regard to case.
    TemporaryFolder::WriteFile(Path("UPPER.VTPROJ"), OneDesign(1, {}));
    VTProject upper;
    EXPECT_EQ(Load(Path("UPPER.VTPROJ"), upper, job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(upper.GetSaveState(), VTProjectSaveStateSaved);

    // A stop request ends the read.
    Recorder stop;
    stop.stopAfter = 0;
    VTProject stopped;
    EXPECT_EQ(Load(Path("UPPER.VTPROJ"), stopped, stop), LProcessResultStopped);
}

TEST_F(ProjectFile, TruncatedFilesNeverReadPastTheirEnd)
{
    auto project = sample::MakeProject(6);
    Recorder job;
    const std::string path = Path("whole.vtproj");
    ASSERT_EQ(Save(*project, path, job), LProcessResultSuccess) << job.error;
    const std::string bytes = ReadAll(path);
    // The trailer after the root container carries nothing: only cuts before it must fail.
    for (size_t n = 0; n + 4 < bytes.size(); n += (n < 400 ? 1 : 7)) {
        VTProject partial;
        Recorder quiet;
        // The memory stream ends exactly at the cut: nothing past it can be read.
        std::string cut = bytes.substr(0, n);
        LProcessResult result = Read(cut, partial, quiet);
        EXPECT_NE(result, LProcessResultStopped);
        if (result == LProcessResultSuccess)
            ADD_FAILURE() << "a file cut at " << n << " of " << bytes.size() << " was read";
        // Once it begins as a project of ours, a cut-off file is called damaged, not foreign.
        EXPECT_EQ(quiet.error,
            n < 4 ? "Filen är inte ett Vorantel-projekt."
                  : "Projektfilen är skadad eller ofullständig och kan inte öppnas.")
            << "cut at " << n;
    }
}

// Damaged files of ours through the load job: cut off, a length that leads past the end, a
// chunk header overwritten; a file of another kind is still a stranger.
TEST_F(ProjectFile, DamagedProjectsAreCalledDamaged)
{
    auto project = sample::MakeProject(6);
    Recorder job;
    const std::string path = Path("whole.vtproj");
    ASSERT_EQ(Save(*project, path, job), LProcessResultSuccess) << job.error;
    const std::string bytes = ReadAll(path);
    const std::string damaged = "Projektfilen är skadad eller ofullständig och kan inte öppnas.";
    std::string lying = bytes;
    lying[36 + 4 + 7] = '\x7F'; // the program information's length: far past the end
    std::string overwritten = bytes;
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 40; ++i)
        overwritten[i] = '\xFF';
    std::string foreign = bytes;
    foreign[6] = 9; // the file type of another kind of file
    const struct {
        const char* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        { "cut off", bytes.substr(0, bytes.size() * 2 / 3), damaged.c_str() },
        { "header only", bytes.substr(0, 8), damaged.c_str() },
        { "lying length", lying, damaged.c_str() },
        { "overwritten", overwritten, damaged.c_str() },
        { "another file type", foreign, "Filen är inte ett Vorantel-projekt." },
        { "text", "Skivetikett\n", "Filen är inte ett Vorantel-projekt." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder::WriteFile(Path("trasig.vtproj"), c.bytes);
        VTProject loaded;
        Recorder load;
        EXPECT_EQ(Load(Path("trasig.vtproj"), loaded, load), LProcessResultError);
        EXPECT_EQ(load.error, c.error);
    }
}

TEST_F(ProjectFile, FailedSavesLeaveTheTargetAsItWas)
{
    auto project = sample::MakeProject(64);
    const std::string target = Path("kept.vtproj");
    TemporaryFolder::WriteFile(target, "the old file");

    // A write that fails part-way (the file-size limit) fails the save.
    Recorder job;
    const VTProjectSaveState state = project->GetSaveState();
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = { 4096, old.rlim_max };
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LProcessResult result = Save(*project, target, job);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result, LProcessResultError);
    EXPECT_FALSE(job.error.empty());
    EXPECT_EQ(ReadAll(target), "the old file");
    EXPECT_EQ(project->GetSaveState(), state);
    EXPECT_STREQ(project->GetPath(), "Namnlöst.vtproj");

    // A stop request.
    Recorder stop;
    stop.stopAfter = 1;
    EXPECT_EQ(Save(*project, target, stop), LProcessResultStopped);
    EXPECT_EQ(ReadAll(target), "the old file");

    EXPECT_TRUE(Leftovers(m_folder.Path()).empty());
}

TEST_F(ProjectFile, SavingIntoAReadOnlyFolder)
{
    auto project = sample::MakeProject(8);
    const std::string folder = Path("locked");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string target = folder + "/kept.vtproj";
    TemporaryFolder::WriteFile(target, "the old file");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    ASSERT_EQ(chmod(m_folder.Path().c_str(), 0755), 0);

    // The superuser writes anywhere: the save is then made by an ordinary user.
    const struct passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    if (geteuid() == 0 && !nobody)
        GTEST_SKIP() << "no ordinary user to save as";
    // The file is the user's own and writable: only the folder stands in the way.
    if (nobody) {
        ASSERT_EQ(chown(target.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (nobody && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
            _exit(3);
        Recorder job;
        LProcessResult r = Save(*project, target, job);
        _exit(r == LProcessResultError
                    && job.error
                        == "Det går inte att spara ”kept.vtproj” i den här mappen: mappen är "
                           "skrivskyddad. Spara i en annan mapp."
                ? 0
                : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadAll(target), "the old file");
    EXPECT_TRUE(Leftovers(folder).empty());
    chmod(folder.c_str(), 0755);
}

// The committed file every later version of the program must open. Rewritten (by hand, when the
// sample changes) with VT_WRITE_REGRESSION_PROJECT=1.
TEST_F(ProjectFile, RegressionFileStillOpens)
{
    const std::string fixture = std::string(VT_TEST_DATA) + "/vtproj/regression.vtproj";
    if (std::getenv("VT_WRITE_REGRESSION_PROJECT")) {
        auto project = sample::MakeProject(12);
        Recorder job;
        ASSERT_EQ(Save(*project, fixture, job), LProcessResultSuccess) << job.error;
    }
    VTProject project;
    Recorder job;
    ASSERT_EQ(Load(fixture, project, job), LProcessResultSuccess) << job.error;
    auto expected = sample::MakeProject(12);
    ExpectProjectsEqual(*expected, project);
    EXPECT_STREQ(project.GetLabelLayout()->key, "GenericCDStandard");
}

// The seeds of the project reader's fuzz target are files this writer makes. Rewritten with
// VT_WRITE_FUZZ_SEEDS=1; otherwise each seed must still read.
TEST_F(ProjectFile, FuzzSeedsAreWriterFiles)
{
    const std::string folder = std::string(VT_TEST_DATA) + "/fuzz/vtproj_fuzz";
    if (std::getenv("VT_WRITE_FUZZ_SEEDS")) {
        Recorder job;
        auto sample = sample::MakeProject(4);
        ASSERT_EQ(Save(*sample, folder + "/sample.vtproj", job), LProcessResultSuccess);
        VTProject empty;
        empty.layout.Reset(new VTLabelLayoutDataGenericCDStandard);
        ASSERT_EQ(Save(empty, folder + "/empty.vtproj", job), LProcessResultSuccess);
        VTProject disc(new VTLabelLayoutDataDirectToCDDVDStandard);
        disc.templates.GetHead()->backgroundBrush.Reset(sample::Gradient(3, 20));
        sample::Text(*disc.templates.GetHead(), "a\r\nb", 1, 2);
        ASSERT_EQ(Save(disc, folder + "/disc.vtproj", job), LProcessResultSuccess);
        VTProject twoDiscs(new VTLabelLayoutDataMemorexDiscA4);
        ASSERT_EQ(Save(twoDiscs, folder + "/two_discs.vtproj", job), LProcessResultSuccess);
    }
    const std::vector<std::string> seeds = TemporaryFolder::List(folder);
    EXPECT_GE(seeds.size(), 4u);
    for (const std::string& name : seeds) {
        if (name.size() < 7 || name.substr(name.size() - 7) != ".vtproj")
            continue;
        SCOPED_TRACE(name);
        VTProject project;
        Recorder job;
        EXPECT_EQ(Load(folder + "/" + name, project, job), LProcessResultSuccess) << job.error;
    }
}

// A project without a layout is damaged: it does not open, and none is written.
TEST_F(ProjectFile, ProjectWithoutALayoutIsRefused)
{
    for (const std::string& bytes : { Doc({ Box(1, { ProgramInfo(), Box(3, {}) }) }),
             Doc({ Box(1, { ProgramInfo(), Box(2, {}), Box(3, {}) }) }),
             Doc({ Box(1, { ProgramInfo(), Chunk(2, 7, ""), Box(3, {}) }) }) }) {
        VTProject project;
        Recorder job;
        EXPECT_EQ(Read(bytes, project, job), LProcessResultError);
        EXPECT_EQ(job.error, "Det gick inte att läsa etikettlayouten.");
    }
    VTProject none;
    Recorder job;
    const std::string path = Path("none.vtproj");
    TemporaryFolder::WriteFile(path, "the old file");
    EXPECT_EQ(Save(none, path, job), LProcessResultError);
    EXPECT_EQ(job.error, "Projektet saknar etikettlayout.");
    EXPECT_EQ(ReadAll(path), "the old file");
}

// Pictures that are not here (an empty blob, a picture file missing when an old project opened)
// save as an empty blob with their source path, and open again the same.
TEST_F(ProjectFile, MissingPicturesSaveAndReopen)
{
    for (uint16_t kind : { 3, 8, 9 }) {
        SCOPED_TRACE(kind);
        VTProject project;
        Recorder job;
        ASSERT_EQ(Read(OneDesign(1, { ImageOverlay(kind, Identity()) }), project, job),
            LProcessResultSuccess)
            << job.error;
        const std::string path = Path("empty-picture.vtproj");
        ASSERT_EQ(Save(project, path, job), LProcessResultSuccess) << job.error;
        EXPECT_NE(ReadAll(path).find(Blob(2, "") + Str(3, "/a.png")), std::string::npos);
        VTProject reopened;
        ASSERT_EQ(Load(path, reopened, job), LProcessResultSuccess) << job.error;
        auto* image = static_cast<VTOverlayImage*>(reopened.templates.GetHead()->first);
        ASSERT_NE(image, nullptr);
        EXPECT_FALSE(image->HasValidImage());
        EXPECT_STREQ(image->GetSourcePath(), "/a.png");
    }

    VTProject old;
    VTProjectLoad load;
    load.project = &old;
    std::snprintf(load.path, sizeof load.path, "%s",
        (std::string(VT_TEST_DATA) + "/vtx/missing_font_and_image.vtx").c_str());
    Recorder job;
    ASSERT_EQ(Process(job, load), LProcessResultSuccess) << job.error;
    const std::string path = Path("moved.vtproj");
    ASSERT_EQ(Save(old, path, job), LProcessResultSuccess) << job.error;
    VTProject reopened;
    ASSERT_EQ(Load(path, reopened, job), LProcessResultSuccess) << job.error;
    ExpectProjectsEqual(old, reopened);
}

// A save keeps what it replaces: a link stays and its file is replaced with its permissions; a
// FIFO or a link loop is refused with the create error and left alone.
TEST_F(ProjectFile, SavesKeepWhatTheyReplace)
{
    auto project = sample::MakeProject(4);
    Recorder job;
    const std::string real = Path("real.vtproj");
    TemporaryFolder::WriteFile(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("real.vtproj", Path("link.vtproj").c_str()), 0);
    ASSERT_EQ(Save(*project, Path("link.vtproj"), job), LProcessResultSuccess) << job.error;
    struct stat st { };
    ASSERT_EQ(::lstat(Path("link.vtproj").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadAll(real).substr(0, 4), "lsdf");

    ASSERT_EQ(::mkfifo(Path("fifo.vtproj").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop.vtproj", Path("loop.vtproj").c_str()), 0);
    for (const char* name : { "fifo.vtproj", "loop.vtproj" }) {
        Recorder refused;
        EXPECT_EQ(Save(*project, Path(name), refused), LProcessResultError) << name;
        EXPECT_EQ(refused.error, "Det gick inte att skapa filen.");
    }
    ASSERT_EQ(::lstat(Path("fifo.vtproj").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(Leftovers(m_folder.Path()).empty());
}

// Paths are never cut: a project saves and opens at a 359-byte path (120 Swedish letters are 240
// bytes of its name), and a picture opens from a 376-byte path.
TEST_F(ProjectFile, LongPathsAreKeptWhole)
{
    std::string folder = m_folder.Path() + "/";
    while (folder.size() < 359 - 248)
        folder += "m";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::string name;
    for (int i = 0; i < 120; ++i)
        name += "\xC3\xA4"; // ä
    const std::string path = folder + "/" + name + ".vtproj";
    ASSERT_GE(path.size(), 359u);
    auto project = sample::MakeProject(4);
    Recorder job;
    ASSERT_EQ(Save(*project, path, job), LProcessResultSuccess) << job.error;
    EXPECT_STREQ(project->GetPath(), path.c_str());
    EXPECT_EQ(TemporaryFolder::List(folder), (std::vector<std::string> { name + ".vtproj" }));
    VTProject reopened;
    ASSERT_EQ(Load(path, reopened, job), LProcessResultSuccess) << job.error;
    EXPECT_STREQ(reopened.GetPath(), path.c_str());

    const std::string pictures = folder + "/" + std::string(150, 'q');
    ASSERT_EQ(::mkdir(pictures.c_str(), 0700), 0);
    std::string picture = pictures + "/" + std::string(376 - pictures.size() - 5, 'p') + ".png";
    ASSERT_EQ(picture.size(), 376u);
    LImageBuffer pixels;
    sample::MakePicture(pixels, 8, 6);
    LProcessImageSaveFile save(pixels, picture.c_str(), LImageEncodeSettings(), 0, nullptr);
    ASSERT_EQ(Process(job, save), LProcessResultSuccess) << job.error;
    LImageBuffer back;
    LProcessImageLoadFile load(picture.c_str(), 0, nullptr, back);
    ASSERT_EQ(Process(job, load), LProcessResultSuccess) << job.error;
    EXPECT_EQ(back.GetWidth(), 8);

    // A path longer than the system opens is refused, never cut to one it would open.
    const std::string tooLong = folder + "/" + std::string(PATH_MAX, 'x') + ".png";
    LProcessImageLoadFile refused(tooLong.c_str(), 0, nullptr, back);
    Recorder failing;
    EXPECT_EQ(Process(failing, refused), LProcessResultError);
    EXPECT_EQ(failing.error, "Sökvägen är för lång.");
}

// Saving again encodes no picture whose pixels did not change: the bytes read or last written are
// written again, exactly.
TEST_F(ProjectFile, SavingAgainEncodesOnlyChangedPictures)
{
    auto project = sample::MakeProject(16);
    Recorder first;
    const std::string a = Path("a.vtproj"), b = Path("b.vtproj"), c = Path("c.vtproj");
    ASSERT_EQ(Save(*project, a, first), LProcessResultSuccess) << first.error;
    EXPECT_EQ(first.encodings, 3); // the image, a clipart picture and the background
    Recorder again;
    ASSERT_EQ(Save(*project, b, again), LProcessResultSuccess) << again.error;
    EXPECT_EQ(again.encodings, 0);
    EXPECT_EQ(ReadAll(a), ReadAll(b));

    // New pixels for one picture: that one is encoded.
    auto* image = static_cast<VTOverlayImage*>(project->templates.GetAt(0)->GetItemAt(3));
    ASSERT_EQ(image->GetType(), VTOverlayTypeImage);
    LImageBuffer other;
    sample::MakePicture(other, 20, 10, 7);
    image->SetImage(other);
    Recorder changed;
    ASSERT_EQ(Save(*project, c, changed), LProcessResultSuccess) << changed.error;
    EXPECT_EQ(changed.encodings, 1);
    VTProject reopened;
    ASSERT_EQ(Load(c, reopened, changed), LProcessResultSuccess) << changed.error;
    ExpectProjectsEqual(*project, reopened);

    // A file's own picture bytes (here ImageMagick's) are written back as they were read.
    const std::string png = Path("magick.png");
    ShellOutput("/usr/bin/convert -size 7x5 gradient:red-blue '" + png + "'");
    const std::string magick = ReadAll(png);
    ASSERT_GT(magick.size(), 8u);
    VTProject read;
    Recorder job;
    ASSERT_EQ(Read(OneDesign(1,
                       { Box(3,
                           { Placement(), Blob(2, magick), Str(3, "/a.png"), Bool(4, true),
                               Blob(5, Identity()) }) }),
                  read, job),
        LProcessResultSuccess)
        << job.error;
    ASSERT_EQ(Save(read, Path("d.vtproj"), job), LProcessResultSuccess) << job.error;
    EXPECT_EQ(job.encodings, 0);
    EXPECT_NE(ReadAll(Path("d.vtproj")).find(Blob(2, magick)), std::string::npos);
}

// One bit flipped inside a picture's compressed pixels (a PNG of ImageMagick's, so its checksum
// no longer matches) refuses the file with the picture's one message.
TEST_F(ProjectFile, PictureWithAFlippedBitIsOneFailure)
{
    const std::string png = Path("flip.png");
    ShellOutput("/usr/bin/convert -size 16x16 gradient:red-blue '" + png + "'");
    std::string bytes = ReadAll(png);
    const size_t idat = bytes.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    bytes[idat + 10] = char(bytes[idat + 10] ^ 0x08);
    VTProject project;
    Recorder job;
    EXPECT_EQ(Read(OneDesign(1, { Box(3, { Placement(), Blob(2, bytes) }) }), project, job),
        LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att avkoda bilden.");
    EXPECT_EQ(job.errors, 1);
}

// The save's counterpart: a picture the PNG encoder refuses (indexed pixels) fails the save with
// the picture's one message, through the save's workers and when the overlay is written (as the
// overlay clipboard writes it), and the file being replaced stays as it was.
TEST_F(ProjectFile, PictureThatCannotBeEncodedIsOneFailure)
{
    for (const int type : { VTOverlayTypeImage, VTOverlayTypeClipart }) {
        SCOPED_TRACE(type);
        VTProject project(new VTLabelLayoutDataGenericCDStandard);
        auto* indexed = new VTCountableImageBuffer;
        indexed->AllocateNewBuffer(LImageFormat(LPixelFormatI8, 8, 8));
        ASSERT_TRUE(indexed->IsValid());
        std::memset(indexed->GetData(), 3, size_t(indexed->GetStride()) * 8);
        VTOverlayImage* overlay
            = type == VTOverlayTypeClipart ? new VTOverlayClipart : new VTOverlayImage;
        overlay->image.reset(indexed);
        overlay->SetDimensions(30, 30);
        ASSERT_TRUE(overlay->HasValidImage());
        project.templates.GetAt(0)->InsertOverlay(overlay, false);

        const std::string target = Path("kept.vtproj");
        TemporaryFolder::WriteFile(target, "the old file");
        Recorder saving;
        EXPECT_EQ(Save(project, target, saving), LProcessResultError);
        EXPECT_EQ(saving.error, "Det gick inte att koda bilden.");
        EXPECT_EQ(saving.errors, 1);
        EXPECT_EQ(ReadAll(target), "the old file");
        EXPECT_TRUE(Leftovers(m_folder.Path()).empty());

        LSizedArray<unsigned char> bytes;
        LOutputStreamByteArray stream(bytes);
        Recorder writing;
        EXPECT_EQ(VTProjectWriteSDF(writing, stream, project), LProcessResultError);
        EXPECT_EQ(writing.error,
            type == VTOverlayTypeClipart ? "Det gick inte att koda clipart."
                                         : "Det gick inte att koda bilden.");
        EXPECT_EQ(writing.errors, 1);
    }
}

// A picture blob that is no whole picture (a PNG of 0 x 0 pixels) is refused with its error.
TEST_F(ProjectFile, PictureOfNoPixelsIsRefused)
{
    const std::string zero = ShellOutput(
        "python3 -c \"import struct,zlib,sys\n"
        "def c(t,d): return struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d))\n"
        "sys.stdout.buffer.write(b'\\x89PNG\\r\\n\\x1a\\n'+c(b'IHDR',struct.pack('>IIBBBBB',0,0,8,"
        "6,0,0,0))"
        "+c(b'IDAT',zlib.compress(b''))+c(b'IEND',b''))\"");
    ASSERT_EQ(zero.substr(1, 3), "PNG");
    VTProject project;
    Recorder job;
    EXPECT_EQ(Read(OneDesign(1, { Box(3, { Placement(), Blob(2, zero) }) }), project, job),
        LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att avkoda bilden.");
}

// A save writes the file from memory on a worker, after its pictures were encoded on another:
// the bytes are those the writer streams straight into a file, and the pictures keep theirs.
TEST_F(ProjectFile, SavesThroughWorkersWriteWhatTheStreamWrites)
{
    auto viaWorkers = sample::MakeProject(300);
    auto streamed = sample::MakeProject(300);
    Recorder job;
    const std::string a = Path("workers.vtproj"), b = Path("streamed.vtproj");
    ASSERT_EQ(Save(*viaWorkers, a, job), LProcessResultSuccess) << job.error;
    {
        LOutputStreamFile out;
        ASSERT_TRUE(out.Open(b.c_str()));
        ASSERT_EQ(VTProjectWriteSDF(job, out, *streamed), LProcessResultSuccess) << job.error;
        ASSERT_TRUE(out.Close());
    }
    EXPECT_EQ(ReadAll(a), ReadAll(b));
    EXPECT_TRUE(VTProjectPicturesToEncode(*viaWorkers).empty());
    EXPECT_TRUE(Leftovers(m_folder.Path()).empty());
}

// Threads that ask for one picture's bytes at once get the same bytes, encoded once, and they
// are the picture.
TEST_F(ProjectFile, APictureAskedForOnSeveralThreadsIsEncodedOnce)
{
    auto* picture = new VTCountableImageBuffer;
    LCountedPtr<VTCountableImageBuffer> hold(picture);
    sample::MakePicture(*picture, 1600, 1200, 3);
    std::vector<VTCountableImageBuffer::Encoded> got(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i)
        threads.emplace_back([&, i, keep = hold] {
            LProcessInterfaceVoid quiet;
            LProcessResult result = LProcessResultError;
            got[i] = keep->EncodePNG(quiet, result);
        });
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(got[0], nullptr);
    for (const auto& bytes : got)
        EXPECT_EQ(bytes.get(), got[0].get());
    EXPECT_EQ(picture->GetEncodedPNG().get(), got[0].get());
    LImageBuffer decoded;
    ASSERT_GT(LImage::Load(decoded, got[0]->data(), got[0]->size(), LImage::EncodingPNG), 0u);
    ASSERT_EQ(decoded.GetWidth(), 1600);
    ASSERT_EQ(decoded.GetHeight(), 1200);
    for (int y = 0; y < 1200; y += 97)
        EXPECT_EQ(std::memcmp(decoded.GetPictureRow(y), picture->GetPictureRow(y), 1600 * 4), 0)
            << y;
}

// A job interface that keeps the progress it is told.
struct ProgressRecorder : LProcessInterfaceVoid {
    std::vector<double> told;
    void SetProgress(double fraction) override { told.push_back(fraction); }
    bool Rises() const
    {
        for (size_t i = 1; i < told.size(); ++i)
            if (told[i] < told[i - 1])
                return false;
        return true;
    }
};

// The snapshot a save writes holds the pictures' PNG bytes themselves, not copies: its own bytes
// are the project's other parts. Written out (the project gone meanwhile: the snapshot keeps what
// it needs), it is the file the writer streams straight into a file, and the progress rises with
// the bytes written to the end.
TEST_F(ProjectFile, ASnapshotSharesThePicturesBytesAndWritesTheStreamedFile)
{
    auto project = sample::MakeProject(600);
    // The first picture noise, which does not compress: a file of several write steps.
    for (VTOverlay* o = project->templates.GetAt(0)->first; o; o = o->next) {
        if (o->GetType() == VTOverlayTypeImage) {
            auto* noise = new VTCountableImageBuffer;
            noise->AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 1600, 1200));
            uint32_t x = 7;
            for (uint64_t i = 0; i < uint64_t(noise->GetStride()) * 1200; ++i) {
                x = x * 1103515245u + 12345u;
                noise->GetData()[i] = uint8_t(x >> 16);
            }
            static_cast<VTOverlayImage*>(o)->image.reset(noise);
            break;
        }
    }
    {
        VTProjectEncodePictures encode { VTProjectPicturesToEncode(*project) };
        ASSERT_EQ(encode.pictures.size(), 3u);
        Recorder job;
        ASSERT_EQ(Process(job, encode), LProcessResultSuccess);
    }
    std::vector<const unsigned char*> pictures;
    uint64_t pictureBytes = 0;
    for (const VTOverlay* o = project->templates.GetAt(0)->first; o; o = o->next)
        if (const VTOverlayImage* image = VTOverlayAsImage(o); image && image->HasValidImage()) {
            pictures.push_back(image->GetImage().GetEncodedPNG()->data());
            pictureBytes += image->GetImage().GetEncodedPNG()->size();
        }
    ASSERT_EQ(pictures.size(), 3u);
    ASSERT_GT(pictureBytes, uint64_t(4) << 20); // one piece written in two steps at least

    const std::string streamed = Path("streamed.vtproj");
    {
        Recorder job;
        LOutputStreamFile out;
        ASSERT_TRUE(out.Open(streamed.c_str()));
        ASSERT_EQ(VTProjectWriteSDF(job, out, *project), LProcessResultSuccess) << job.error;
        ASSERT_TRUE(out.Close());
    }

    VTProjectSnapshot snapshot;
    Recorder making;
    ASSERT_EQ(VTProjectMakeSnapshot(making, *project, snapshot), LProcessResultSuccess);
    ASSERT_NE(snapshot, nullptr);
    int shared = 0;
    for (const LOutputStreamPieces::Piece& piece : snapshot->GetPieces())
        shared += std::count(pictures.begin(), pictures.end(), piece.data) > 0;
    EXPECT_EQ(shared, 3);
    EXPECT_EQ(snapshot->GetSize() - snapshot->GetOwnSize(), pictureBytes);
    EXPECT_LT(snapshot->GetOwnSize(), 64u * 1024);

    project.reset();
    ProgressRecorder writing;
    VTProjectWriteSnapshot write { Path("snapshot.vtproj"), snapshot };
    ASSERT_EQ(Process(writing, write), LProcessResultSuccess);
    EXPECT_EQ(ReadAll(write.path), ReadAll(streamed));
    EXPECT_TRUE(writing.Rises());
    EXPECT_GE(writing.told.size(), 6u);
    EXPECT_EQ(writing.told.back(), 1.0);
    EXPECT_TRUE(Leftovers(m_folder.Path()).empty());
}

// A stopped write leaves the target as it was and no temporary file; a snapshot that is missing
// is a failure, never an empty file.
TEST_F(ProjectFile, AStoppedSnapshotWriteLeavesTheTarget)
{
    auto project = sample::MakeProject(1200);
    VTProjectSnapshot snapshot;
    Recorder making;
    ASSERT_EQ(VTProjectMakeSnapshot(making, *project, snapshot), LProcessResultSuccess);
    const std::string target = Path("kept.vtproj");
    TemporaryFolder::WriteFile(target, "the old file");
    Recorder stopping;
    stopping.stopAfter = 0;
    VTProjectWriteSnapshot write { target, snapshot };
    EXPECT_EQ(Process(stopping, write), LProcessResultStopped);
    Recorder missing;
    VTProjectWriteSnapshot none { target, nullptr };
    EXPECT_EQ(Process(missing, none), LProcessResultError);
    EXPECT_EQ(missing.error, "Det gick inte att skriva filen.");
    EXPECT_EQ(ReadAll(target), "the old file");
    EXPECT_TRUE(Leftovers(m_folder.Path()).empty());
}

// Encoding a picture tells its progress as the rows go, rising to the end, so that a save's
// progress bar moves while a large picture is encoded.
TEST_F(ProjectFile, EncodingAPictureTellsItsProgress)
{
    LCountedPtr<VTCountableImageBuffer> picture(new VTCountableImageBuffer);
    sample::MakePicture(*picture, 2000, 1500, 4);
    VTProjectEncodePictures encode { { picture } };
    ProgressRecorder job;
    ASSERT_EQ(Process(job, encode), LProcessResultSuccess);
    EXPECT_GE(
        std::count_if(job.told.begin(), job.told.end(), [](double f) { return f > 0 && f < 1; }),
        10);
    EXPECT_TRUE(job.Rises());
    EXPECT_NE(picture->GetEncodedPNG(), nullptr);
}

// Pictures of a project file are read beside the rest, by jobs of their own. Two that do not
// decode, a clipart before a picture, fail the read with one message, the clipart's (the first
// in the file), whether the bytes come from the file or from memory.
TEST_F(ProjectFile, PicturesThatDoNotDecodeAreOneFailureInFileOrder)
{
    const std::string bytes = OneDesign(1,
        { Box(8, { Placement(), Blob(2, "no clipart") }),
            Box(3, { Placement(), Blob(2, "no picture") }) });
    const std::string path = Path("trasig.vtproj");
    TemporaryFolder::WriteFile(path, bytes);
    for (const bool fromFile : { true, false }) {
        SCOPED_TRACE(fromFile ? "file" : "memory");
        VTProject project;
        Recorder job;
        EXPECT_EQ(
            fromFile ? Load(path, project, job) : Read(bytes, project, job), LProcessResultError);
        EXPECT_EQ(job.error, "Det gick inte att koda clipart.");
        EXPECT_EQ(job.errors, 1);
    }
}

namespace {

// Asks to stop once the reading waits for the pictures and tells their progress.
struct StopWhileThePicturesAreRead : Recorder {
    bool waiting = false, told = false;
    bool IsToStop() override { return told; }
    void SetProgressIndeterminateOff() override { waiting = true; }
    void SetProgress(double fraction) override { told = told || (waiting && fraction < 1); }
};

} // namespace

// "Avbryt" while the pictures are read ends the read: stopped, nothing told, and every job has
// let go before the read returns (the project is deleted at once after it).
TEST_F(ProjectFile, AStopWhileThePicturesAreReadEndsTheRead)
{
    const std::string path = Path("foton.vtproj");
    auto photos = sample::PhotoProject(1600, 1200, 4);
    {
        Recorder job;
        ASSERT_EQ(Save(*photos, path, job), LProcessResultSuccess) << job.error;
    }
    auto project = std::make_unique<VTProject>();
    StopWhileThePicturesAreRead job;
    EXPECT_EQ(Load(path, *project, job), LProcessResultStopped);
    EXPECT_TRUE(job.told) << "the pictures were read before the reading waited for them";
    EXPECT_EQ(job.error, "");
    project.reset();

    // Read whole, they are the pictures saved.
    VTProject whole;
    Recorder reading;
    ASSERT_EQ(Load(path, whole, reading), LProcessResultSuccess) << reading.error;
    ExpectProjectsEqual(*photos, whole);
}

namespace {

// The pictures of a project's overlays that hold pixels, and those there are.
std::pair<size_t, size_t> PicturesHeld(VTProject& project)
{
    size_t held = 0, all = 0;
    for (const VTProjectTemplate& design : project.templates)
        for (const VTOverlay* overlay = design.first; overlay; overlay = overlay->next)
            if (const VTOverlayImage* image = VTOverlayAsImage(overlay)) {
                ++all;
                held += image->HasValidImage() ? 1 : 0;
            }
    return { held, all };
}

// A load only to check the file, on a thread of its own as a later start's check runs.
LProcessResult CheckAside(const std::string& path, VTProject& project, Recorder& job)
{
    VTProjectLoad load;
    load.project = &project;
    load.checkOnly = true;
    std::snprintf(load.path, sizeof load.path, "%s", path.c_str());
    LProcessResult result = LProcessResultError;
    std::thread([&] { result = Process(job, load); }).join();
    return result;
}

} // namespace

// A load that only checks the file tells what the load would: a whole project opens, a picture
// that does not decode fails it with the load's words. Its pictures are decoded and let go of, none
// held when it ends. An old project's pictures are not read: one that is missing keeps it from
// opening no more than the load, which warns of it.
TEST_F(ProjectFile, ACheckTellsWhatTheLoadWouldAndKeepsNoPicture)
{
    const std::string path = Path("foton.vtproj");
    {
        auto photos = sample::PhotoProject(800, 600, 3);
        Recorder job;
        ASSERT_EQ(Save(*photos, path, job), LProcessResultSuccess) << job.error;
    }
    {
        VTProject checked, loaded;
        Recorder check, load;
        ASSERT_EQ(CheckAside(path, checked, check), LProcessResultSuccess) << check.error;
        EXPECT_EQ(check.errors, 0);
        EXPECT_EQ(PicturesHeld(checked), std::make_pair(size_t(0), size_t(3)));
        ASSERT_EQ(Load(path, loaded, load), LProcessResultSuccess) << load.error;
        EXPECT_EQ(PicturesHeld(loaded), std::make_pair(size_t(3), size_t(3)));
    }
    {
        const std::string broken = Path("trasig.vtproj");
        TemporaryFolder::WriteFile(
            broken, OneDesign(1, { Box(3, { Placement(), Blob(2, "ingen") }) }));
        VTProject checked, loaded;
        Recorder check, load;
        EXPECT_EQ(CheckAside(broken, checked, check), LProcessResultError);
        EXPECT_EQ(Load(broken, loaded, load), LProcessResultError);
        EXPECT_EQ(check.error, "Det gick inte att avkoda bilden.");
        EXPECT_EQ(check.error, load.error);
    }
    {
        const std::string old = std::string(VT_TEST_DATA) + "/vtx/missing_font_and_image.vtx";
        VTProject checked, loaded;
        Recorder check, load;
        EXPECT_EQ(CheckAside(old, checked, check), LProcessResultSuccess) << check.error;
        EXPECT_EQ(check.errors, 0) << check.error;
        EXPECT_EQ(Load(old, loaded, load), LProcessResultSuccess) << load.error;
        EXPECT_NE(load.error.find("Det gick inte att läsa in en överlagringsbild korrekt"),
            std::string::npos)
            << load.error;
    }
}
