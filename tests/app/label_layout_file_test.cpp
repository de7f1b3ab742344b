#include "app/VTLabelLayout.h"
#include "support/TemporaryFolder.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---- Chunk containers assembled byte by byte (little-endian), independent of the writer.

std::string U16(uint16_t v)
{
    return { char(v & 0xFF), char(v >> 8) };
}
std::string U32(uint32_t v)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
    return s;
}
std::string U64(uint64_t v)
{
    std::string s;
    for (int i = 0; i < 8; ++i)
        s += char((v >> (8 * i)) & 0xFF);
    return s;
}
std::string Chunk(uint16_t id, uint16_t type, const std::string& payload)
{
    return U16(id) + U16(type) + U64(payload.size()) + payload;
}
std::string Cont(uint16_t id, std::initializer_list<std::string> children)
{
    std::string payload;
    for (const std::string& c : children)
        payload += c;
    return Chunk(id, 0, payload);
}
std::string Str(uint16_t id, const std::string& text)
{
    return Chunk(id, 6, text + '\0');
}
std::string Int(uint16_t id, int32_t v)
{
    return Chunk(id, 2, U32(uint32_t(v)));
}
std::string Flt(uint16_t id, float v)
{
    return Chunk(id, 4, U32(std::bit_cast<uint32_t>(v)));
}
std::string Bool(uint16_t id, bool v)
{
    return Chunk(id, 1, std::string(1, v ? '\1' : '\0'));
}
std::string Doc(const std::string& children, uint16_t version = 1, uint32_t type = 8)
{
    return "lsdf" + U16(1) + U32(type) + U16(version) + Chunk(0, 0, children) + "lsdf";
}

std::string Position(int format, int32_t id, std::initializer_list<std::string> extra = {})
{
    std::string payload = Int(1, id) + Flt(2, 1.5f) + Flt(3, -2.5f) + Flt(4, 45.0f);
    for (const std::string& e : extra)
        payload += e;
    return Chunk(uint16_t(format + 1), 0, payload);
}
std::string Page(const std::string& positions, int32_t orientation = 0)
{
    return Cont(6, { Int(1, orientation), Chunk(2, 0, positions) });
}
std::string Ring()
{
    return Cont(5, { Flt(1, 118), Flt(2, 35), Bool(3, false), Flt(4, 37), Flt(5, 36) });
}
// A valid paper layout's chunks in writing order; tests replace or drop some.
std::vector<std::string> LayoutChunks(const std::string& pages = Page(Position(1, 0)))
{
    return { Str(1, "Nyckel"), Str(2, "Namn"), Str(3, "paper"), Str(4, "a4"), Chunk(5, 0, pages),
        Int(7, 0), Bool(8, false) };
}
std::string LayoutDoc(const std::vector<std::string>& chunks, uint16_t version = 1)
{
    std::string payload;
    for (const std::string& c : chunks)
        payload += c;
    return Doc(Chunk(2, 0, payload), version);
}

// ---- A job interface that records what it is told and may ask to stop.

struct Recorder : LProcessInterfaceVoid {
    std::string error;
    std::vector<std::pair<int, std::string>> statuses;
    std::vector<double> progress;
    int stopAfter = -1; // IsToStop answers true after this many calls
    int stopCalls = 0;

    bool IsToStop() override { return stopAfter >= 0 && stopCalls++ >= stopAfter; }
    void SetError(const char* text) override { error = text; }
    void SetStatus(const char* text, int level) override { statuses.emplace_back(level, text); }
    void SetProgress(double fraction) override { progress.push_back(fraction); }
};

class LabelLayoutFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        // The temporary files of saves are made in the user's cache folder.
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
    }

    std::string Path(const char* name) const { return m_folder / name; }

    // Files left in the folder of temporary files.
    // Temporary files left beside the targets (".<name>.XXXXXX") or in the temporary folder.
    std::vector<std::string> TemporaryLeftovers() const
    {
        std::vector<std::string> left = TemporaryFolder::List(m_folder / "cache/vorantel");
        for (const std::string& name : TemporaryFolder::List(m_folder.Path()))
            if (name[0] == '.')
                left.push_back(name);
        return left;
    }

    LProcessResult Load(const std::string& bytes, VTLabelLayout& layout, Recorder& job)
    {
        const std::string path = Path("in.vtlayout");
        TemporaryFolder::WriteFile(path, bytes);
        return LoadFile(path, layout, job);
    }
    static LProcessResult LoadFile(const std::string& path, VTLabelLayout& layout, Recorder& job)
    {
        VTLabelLayoutLoad load;
        load.layout = &layout;
        utf8strlcpy(load.path, path.c_str(), sizeof load.path);
        return Process(job, load);
    }
    static LProcessResult Save(const VTLabelLayout& layout, const std::string& path, Recorder& job)
    {
        VTLabelLayoutSave save;
        save.layout = &layout;
        utf8strlcpy(save.path, path.c_str(), sizeof save.path);
        return Process(job, save);
    }
    // The error text of a failed load of the bytes ("" when it succeeded).
    std::string LoadError(const std::string& bytes)
    {
        VTLabelLayout layout;
        Recorder job;
        const LProcessResult r = Load(bytes, layout, job);
        EXPECT_TRUE(r == LProcessResultSuccess || r == LProcessResultError);
        return r == LProcessResultSuccess ? std::string() : job.error;
    }

    TemporaryFolder m_folder;
};

// The layouts of the fixtures in tests/data/vtlayout, built through the editing operations.
void BuildPaperLayout(VTLabelLayout& layout)
{
    utf8strlcpy(layout.key, "TestLayout", sizeof layout.key);
    utf8strlcpy(layout.name, "Prov ä ring", sizeof layout.name);
    layout.SetPaperSize(LPaperSizeA4);
    VTLabelLayoutPage* first = layout.AddPage();
    first->SetOrientation(LPaperSizeOrientationLandscape);
    VTLabelLayoutTemplate* disc = first->AddTemplate(VTTemplateFormatDisc, layout.NewTemplateID());
    disc->centreX = 10.5f;
    disc->centreY = -20.25f;
    disc->Rotate(90);
    static_cast<VTTemplateDataDiscCDDVDStandard*>(disc->GetTemplateData())
        ->SetDiscPrintableArea(118, 35, true, 40, 38);
    VTLabelLayoutTemplate* front
        = first->AddTemplate(VTTemplateFormatCaseCDFront, layout.NewTemplateID());
    front->centreY = 50;
    VTLabelLayoutTemplate* dvd
        = layout.AddPage()->AddTemplate(VTTemplateFormatCaseDVD, layout.NewTemplateID());
    dvd->centreX = 1;
    dvd->centreY = 2;
    dvd->rotation = 180;
    dvd->GetTemplateData()->SetSpineWidth(14.5f);
    layout.sameFormat = true;
}

void BuildDiscLayout(VTLabelLayout& layout)
{
    utf8strlcpy(layout.key, "Direct", sizeof layout.key);
    VTLabelLayoutTemplate* disc
        = layout.AddPage()->AddTemplate(VTTemplateFormatDisc, layout.NewTemplateID());
    static_cast<VTTemplateDataDiscCDDVDStandard*>(disc->GetTemplateData())
        ->SetDiscPrintableArea(118, 22, false, 37, 36);
    // The lone disc moves to the tray's disc centre.
    layout.SetPrinterTray(VTPrinterTrayGetIDFromKey("cMG5350"));
}

} // namespace

TEST_F(LabelLayoutFile, WritesTheFixturesByteForByte)
{
    struct Case {
        const char* fixture;
        void (*build)(VTLabelLayout&);
    } const cases[] = { { "paper_two_pages.vtlayout", &BuildPaperLayout },
        { "disc_tray.vtlayout", &BuildDiscLayout } };
    for (const Case& c : cases) {
        const std::string expected
            = TemporaryFolder::ReadFile(std::string(VT_TEST_DATA "/vtlayout/") + c.fixture);
        ASSERT_FALSE(expected.empty()) << c.fixture;

        VTLabelLayout layout;
        c.build(layout);
        Recorder job;
        ASSERT_EQ(Save(layout, Path("out.vtlayout"), job), LProcessResultSuccess) << job.error;
        EXPECT_EQ(TemporaryFolder::ReadFile(Path("out.vtlayout")), expected) << c.fixture;

        // Read back and written again: the same bytes.
        VTLabelLayout loaded;
        Recorder reading;
        ASSERT_EQ(LoadFile(VT_TEST_DATA "/vtlayout/" + std::string(c.fixture), loaded, reading),
            LProcessResultSuccess)
            << reading.error;
        Recorder again;
        ASSERT_EQ(Save(loaded, Path("again.vtlayout"), again), LProcessResultSuccess);
        EXPECT_EQ(TemporaryFolder::ReadFile(Path("again.vtlayout")), expected) << c.fixture;
        EXPECT_TRUE(TemporaryLeftovers().empty());
    }
}

TEST_F(LabelLayoutFile, ReadsEveryField)
{
    VTLabelLayout layout;
    layout.description = "kept";
    Recorder job;
    ASSERT_EQ(LoadFile(VT_TEST_DATA "/vtlayout/paper_two_pages.vtlayout", layout, job),
        LProcessResultSuccess);
    EXPECT_STREQ(layout.key, "TestLayout");
    EXPECT_STREQ(layout.name, "Prov ä ring");
    EXPECT_STREQ(layout.description.GetString(), "kept");
    EXPECT_EQ(layout.printMedium, VTPrintMediumPaper);
    EXPECT_EQ(layout.paperSize, LPaperSizeA4);
    EXPECT_EQ(layout.printerTray, 0);
    EXPECT_EQ(layout.largestTemplateID, 2);
    EXPECT_TRUE(layout.sameFormat);
    ASSERT_EQ(layout.pages.GetCount(), 2u);
    const VTLabelLayoutPage* first = layout.pages.GetHead();
    EXPECT_EQ(first->orientation, LPaperSizeOrientationLandscape);
    ASSERT_EQ(first->GetCount(), 2u);
    const VTLabelLayoutTemplate* disc = first->GetItemAt(0);
    EXPECT_EQ(disc->format, VTTemplateFormatDisc);
    EXPECT_EQ(disc->id, 0);
    EXPECT_FLOAT_EQ(disc->centreX, 10.5f);
    EXPECT_FLOAT_EQ(disc->centreY, -20.25f);
    EXPECT_FLOAT_EQ(disc->rotation, 90);
    EXPECT_TRUE(disc->transform.IsIdentity());
    float outer, inner, bandOuter, bandInner;
    bool band;
    static_cast<const VTTemplateDataDiscCDDVDStandard*>(disc->GetTemplateData())
        ->GetDiscPrintableArea(outer, inner, band, bandOuter, bandInner);
    EXPECT_FLOAT_EQ(outer, 118);
    EXPECT_FLOAT_EQ(inner, 35);
    EXPECT_TRUE(band);
    EXPECT_FLOAT_EQ(bandOuter, 40);
    EXPECT_FLOAT_EQ(bandInner, 38);
    EXPECT_EQ(first->GetItemAt(1)->format, VTTemplateFormatCaseCDFront);
    EXPECT_FLOAT_EQ(first->GetItemAt(1)->centreY, 50);
    const VTLabelLayoutPage* second = layout.pages.GetNext(first);
    ASSERT_EQ(second->GetCount(), 1u);
    EXPECT_EQ(second->first->format, VTTemplateFormatCaseDVD);
    EXPECT_FLOAT_EQ(second->first->GetTemplateData()->GetSpineWidth(), 14.5f);

    // Reading tells nobody, but the pages read report to the layout afterwards.
    struct Log : VTLabelLayoutNotifyee {
        int changes = 0;
        void EvLabelLayoutTemplatesChanged(VTLabelLayout&, VTLabelLayoutPage&) override
        {
            ++changes;
        }
    } log;
    layout.AddNotifyee(log);
    second->first->NotifyTransformChanged();
    EXPECT_EQ(log.changes, 1);
    layout.RemoveNotifyee(log);

    VTLabelLayout disc2;
    Recorder job2;
    ASSERT_EQ(
        LoadFile(VT_TEST_DATA "/vtlayout/disc_tray.vtlayout", disc2, job2), LProcessResultSuccess);
    EXPECT_EQ(disc2.printMedium, VTPrintMediumDisc);
    EXPECT_EQ(disc2.printerTray, 36);
    EXPECT_EQ(disc2.paperSize, LPaperSizeInvalid);
    EXPECT_STREQ(disc2.name, "");
}

TEST_F(LabelLayoutFile, ReaderErrors)
{
    const std::string good = LayoutDoc(LayoutChunks());
    EXPECT_EQ(LoadError(good), "");

    auto without = [](int index) {
        std::vector<std::string> chunks = LayoutChunks();
        chunks.erase(chunks.begin() + index);
        return chunks;
    };
    auto replaced = [](int index, const std::string& chunk) {
        std::vector<std::string> chunks = LayoutChunks();
        chunks[index] = chunk;
        return chunks;
    };
    auto withPages = [](const std::string& pages) { return LayoutDoc(LayoutChunks(pages)); };
    const std::string layoutError = "Det gick inte att läsa etikettlayouten.";
    const std::string templateError = "Det gick inte att läsa etikettlayoutmallen.";

    struct Case {
        const char* what;
        std::string bytes;
        std::string error;
    } const cases[] = {
        { "version 2", LayoutDoc(LayoutChunks(), 2),
            "Den här etikettlayouten sparades med en nyare version av Vorantel." },
        { "a project file", Doc(Chunk(2, 0, ""), 1, 7), "Filen är inte en voranteletikettlayout." },
        { "not a container at all", "hello", "Filen är inte en voranteletikettlayout." },
        { "first chunk 3", Doc(Cont(3, {}) + Chunk(2, 0, "")),
            "Filen är inte en voranteletikettlayout." },
        { "no chunk", Doc(""), "Filen är inte en voranteletikettlayout." },
        { "medium after its size",
            LayoutDoc({ Str(1, "K"), Str(4, "a4"), Str(3, "paper"),
                Chunk(5, 0, Page(Position(1, 0))), Int(7, 0), Bool(8, false) }),
            layoutError },
        { "no key", LayoutDoc(without(0)), layoutError },
        { "empty key", LayoutDoc(replaced(0, Str(1, ""))), layoutError },
        { "no medium", LayoutDoc(without(2)), layoutError },
        { "no pages", LayoutDoc(without(4)), layoutError },
        { "no largest id", LayoutDoc(without(5)), layoutError },
        { "largest id -1", LayoutDoc(replaced(5, Int(7, -1))), layoutError },
        { "no same-format chunk", LayoutDoc(without(6)), layoutError },
        { "unknown medium", LayoutDoc(replaced(2, Str(3, "Paper"))),
            "Ogiltigt etikettlayoutmedium." },
        { "unknown paper", LayoutDoc(replaced(3, Str(4, "a10"))),
            "Ogiltig pappersstorlek för etikettlayout." },
        { "unknown printer",
            LayoutDoc({ Str(1, "K"), Str(3, "disc"), Str(4, "cmg5350"),
                Chunk(5, 0, Page(Position(0, 0))), Int(7, 0), Bool(8, false) }),
            "Ogiltig pappersstorlek för etikettlayout." },
        { "short largest id", LayoutDoc(replaced(5, Chunk(7, 2, "ab"))),
            "Det gick inte att läsa senast använda mall-ID." },
        { "empty same-format chunk", LayoutDoc(replaced(6, Chunk(8, 1, ""))),
            "Det gick inte att läsa Använd samma design för samma mall." },
        { "page orientation 2", withPages(Page(Position(1, 0), 2)),
            "Ogiltig etikettlayout sidorientering." },
        { "short orientation",
            withPages(Cont(6, { Chunk(1, 2, "x"), Cont(2, { Position(1, 0) }) })),
            "Det gick inte att läsa layouten för etikett." },
        { "page without orientation", withPages(Cont(6, { Cont(2, { Position(1, 0) }) })),
            "Det gick inte att läsa etikettlayoutsidan." },
        { "page without positions", withPages(Page("")),
            "Det gick inte att läsa etikettlayoutsidan." },
        { "position chunk 7", withPages(Page(Position(6, 0))), "Okodad etikettlayoutmall." },
        { "position chunk 0", withPages(Page(Position(-1, 0))), "Okodad etikettlayoutmall." },
        { "DVD without spine", withPages(Page(Position(4, 0))), templateError },
        { "CD front with spine", withPages(Page(Position(1, 0, { Flt(6, 10) }))),
            "Det gick inte att läsa mallryggsinformation." },
        { "short spine", withPages(Page(Position(5, 0, { Chunk(6, 4, "ab") }))),
            "Det gick inte att läsa mallryggens bredd" },
        { "CD front with a ring", withPages(Page(Position(1, 0, { Ring() }))),
            "Det gick inte att läsa etikettlayoutmallens skivadimensioner." },
        { "position without id", withPages(Page(Cont(2, { Flt(2, 0), Flt(3, 0), Flt(4, 0) }))),
            templateError },
        { "position id -1", withPages(Page(Position(1, -1))), templateError },
        { "position without rotation",
            withPages(Page(Cont(2, { Int(1, 0), Flt(2, 0), Flt(3, 0) }))), templateError },
        { "short id", withPages(Page(Cont(2, { Chunk(1, 2, "") }))),
            "Det gick inte att läsa etikettlayoutmall-ID." },
        { "short centre", withPages(Page(Cont(2, { Int(1, 0), Chunk(3, 4, "abc") }))),
            "Det gick inte att läsa etikettlayoutmallens position." },
        { "centre not a number",
            withPages(
                Page(Cont(2, { Int(1, 0), Flt(2, std::numeric_limits<float>::quiet_NaN()) }))),
            "Det gick inte att läsa etikettlayoutmallens position." },
        { "centre 2e21 mm away", withPages(Page(Cont(2, { Int(1, 0), Flt(3, 2e21f) }))),
            "Det gick inte att läsa etikettlayoutmallens position." },
        { "a disc 2e21 mm across", withPages(Page(Position(0, 0, { Cont(5, { Flt(1, 2e21f) }) }))),
            "Det gick inte att läsa skivdimensioner." },
        { "infinite rotation",
            withPages(Page(Cont(2, { Int(1, 0), Flt(4, std::numeric_limits<float>::infinity()) }))),
            "Det gick inte att läsa etikettlayoutmallens rotation." },
        { "rotation of 7.7e31 degrees", withPages(Page(Cont(2, { Int(1, 0), Flt(4, 7.7e31f) }))),
            "Det gick inte att läsa etikettlayoutmallens rotation." },
        { "ring without band inner",
            withPages(Page(Position(
                0, 0, { Cont(5, { Flt(1, 118), Flt(2, 35), Bool(3, false), Flt(4, 37) }) }))),
            "Det gick inte att läsa skivdimensioner." },
        { "ring with an unknown value", withPages(Page(Position(0, 0, { Cont(5, { Flt(9, 1) }) }))),
            "Okända skivdimensioner." },
        { "ring with a short outer diameter",
            withPages(Page(Position(0, 0, { Cont(5, { Chunk(1, 4, "") }) }))),
            "Det gick inte att läsa skivans yttre diameter." },
        { "ring with an empty band flag",
            withPages(Page(Position(0, 0, { Cont(5, { Chunk(3, 1, "") }) }))),
            "Det gick inte att läsa användningsvärdet för skivband." },
        // Lengths that lie: a child longer than its container, a container longer than the file.
        { "position longer than its page",
            withPages(Cont(6, { Int(1, 0), U16(2) + U16(0) + U64(1000) + Position(1, 0) })),
            "Det gick inte att läsa etikettlayoutsidan." },
        { "layout longer than the file",
            Doc(U16(2) + U16(0) + U64(uint64_t(1) << 62) + Str(1, "K")),
            "Filen är inte en voranteletikettlayout." },
        { "a key longer than the layout",
            LayoutDoc({ U16(1) + U16(6) + U64(5000) + "K", Str(3, "paper") }), layoutError },
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadError(c.bytes), c.error) << c.what;

    // Chunks without a meaning are passed over at every level.
    EXPECT_EQ(LoadError(LayoutDoc({ Str(1, "K"), Int(9, 3), Str(3, "paper"), Str(4, "a4"),
                  Chunk(6, 0, "ignored"),
                  Chunk(5, 0,
                      Int(1, 7) + Page(Position(1, 0, { Int(7, 1), Str(12, "x") })) + Cont(7, {})),
                  Int(7, 0), Bool(8, true), Flt(40, 1) })),
        "");
    // A paper layout of a custom size is accepted.
    VTLabelLayout custom;
    Recorder job;
    ASSERT_EQ(Load(LayoutDoc(replaced(3, Str(4, "custom"))), custom, job), LProcessResultSuccess);
    EXPECT_EQ(custom.paperSize, LPaperSizeCustom);

    // A missing file.
    VTLabelLayout layout;
    Recorder missing;
    EXPECT_EQ(LoadFile(Path("none.vtlayout"), layout, missing), LProcessResultError);
    EXPECT_EQ(missing.error, "Det gick inte att hitta filen.");
    ASSERT_FALSE(missing.statuses.empty());
    EXPECT_EQ(missing.statuses[0], std::make_pair(0, std::string("Laddar none.vtlayout")));
}

TEST_F(LabelLayoutFile, LongKeysAreCut)
{
    VTLabelLayout layout;
    Recorder job;
    const std::string key(300, 'k');
    ASSERT_EQ(
        Load(LayoutDoc({ Str(1, key), Str(2, std::string(400, 'n')), Str(3, "paper"), Str(4, "a4"),
                 Chunk(5, 0, Page(Position(1, 0))), Int(7, 0), Bool(8, false) }),
            layout, job),
        LProcessResultSuccess);
    EXPECT_EQ(std::string(layout.key), key.substr(0, 259));
    EXPECT_EQ(std::strlen(layout.name), 259u);
}

TEST_F(LabelLayoutFile, DamagedFilesFailCleanly)
{
    std::string bytes
        = TemporaryFolder::ReadFile(VT_TEST_DATA "/vtlayout/paper_two_pages.vtlayout");
    ASSERT_FALSE(bytes.empty());
    // Cut anywhere before the trailer: refused.
    for (size_t n = 0; n + 4 < bytes.size(); ++n)
        EXPECT_NE(LoadError(bytes.substr(0, n)), "") << n;
    // Any byte changed: read or refused, never more.
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::string damaged = bytes;
        damaged[i] = char(damaged[i] ^ 0xA5);
        LoadError(damaged);
    }
}

TEST_F(LabelLayoutFile, EmptyPagesAreNotWritten)
{
    VTLabelLayout layout;
    BuildPaperLayout(layout);
    // An empty page at the front and one between the others.
    VTLabelLayoutPage* empty = new VTLabelLayoutPage;
    layout.pages.AddHead(empty);
    layout.pages.AddAfter(layout.pages.GetAt(1), new VTLabelLayoutPage);
    ASSERT_EQ(layout.pages.GetCount(), 4u);
    Recorder job;
    ASSERT_EQ(Save(layout, Path("out.vtlayout"), job), LProcessResultSuccess);
    EXPECT_EQ(TemporaryFolder::ReadFile(Path("out.vtlayout")),
        TemporaryFolder::ReadFile(VT_TEST_DATA "/vtlayout/paper_two_pages.vtlayout"));
    VTLabelLayout loaded;
    Recorder reading;
    ASSERT_EQ(LoadFile(Path("out.vtlayout"), loaded, reading), LProcessResultSuccess);
    EXPECT_EQ(loaded.pages.GetCount(), 2u);
}

// Nothing the reader would refuse is ever written: the save fails with the reason, and the target
// and the folder of temporary files stay as they were.
TEST_F(LabelLayoutFile, UnreadableLayoutsAreNotSaved)
{
    struct Case {
        const char* what;
        void (*spoil)(VTLabelLayout&);
        const char* error;
    } const cases[] = {
        { "printer without a row (a stale setting)",
            [](VTLabelLayout& l) { l.SetPrinterTray(VTPrinterTrayGetIDFromKey("cNoSuchPrinter")); },
            "Etikettlayouten kan inte sparas: skrivaren för utskrivbara skivor finns inte. Välj en "
            "skrivare." },
        { "printer 254", [](VTLabelLayout& l) { l.SetPrinterTray(254); },
            "Etikettlayouten kan inte sparas: skrivaren för utskrivbara skivor finns inte. Välj en "
            "skrivare." },
        { "no page holds a position",
            [](VTLabelLayout& l) {
                for (VTLabelLayoutPage& page : l.pages)
                    page.DeleteAllItems();
            },
            "Etikettlayouten kan inte sparas: ingen sida innehåller någon etikett." },
        { "no pages", [](VTLabelLayout& l) { l.pages.Clear(); },
            "Etikettlayouten kan inte sparas: ingen sida innehåller någon etikett." },
        { "largest id -1", [](VTLabelLayout& l) { l.largestTemplateID = -1; },
            "Etikettlayouten kan inte sparas: den saknar senast använda mall-ID." },
        { "no key", [](VTLabelLayout& l) { l.key[0] = '\0'; },
            "Etikettlayouten kan inte sparas: den saknar nyckel." },
        { "paper size 0", [](VTLabelLayout& l) { l.paperSize = LPaperSizeInvalid; },
            "Etikettlayouten kan inte sparas: pappersstorleken är ogiltig." },
        { "medium -1", [](VTLabelLayout& l) { l.printMedium = VTPrintMediumInvalid; },
            "Etikettlayouten kan inte sparas: utskriftsmediet är ogiltigt." },
        { "a position without id", [](VTLabelLayout& l) { l.pages.GetHead()->first->id = -1; },
            "Etikettlayouten kan inte sparas: en etikett saknar ID." },
        { "a position at no place",
            [](VTLabelLayout& l) { l.pages.GetHead()->first->centreX = NAN; },
            "Etikettlayouten kan inte sparas: en etikett har en ogiltig placering." },
        { "a spine of no width",
            [](VTLabelLayout& l) {
                l.pages.GetAt(1)->first->GetTemplateData()->SetSpineWidth(INFINITY);
            },
            "Etikettlayouten kan inte sparas: en etikett har ogiltiga mått." },
        { "a page turned neither way",
            [](VTLabelLayout& l) { l.pages.GetHead()->orientation = LPaperSizeOrientation(7); },
            "Etikettlayouten kan inte sparas: en sida har en ogiltig orientering." },
    };
    const std::string target = Path("kept.vtlayout");
    for (const Case& c : cases) {
        TemporaryFolder::WriteFile(target, "the user's old file");
        VTLabelLayout layout;
        BuildPaperLayout(layout);
        c.spoil(layout);
        Recorder job;
        EXPECT_EQ(Save(layout, target, job), LProcessResultError) << c.what;
        EXPECT_EQ(job.error, c.error) << c.what;
        EXPECT_EQ(TemporaryFolder::ReadFile(target), "the user's old file") << c.what;
        EXPECT_TRUE(TemporaryLeftovers().empty()) << c.what;

        // The layout chunk of a project is refused the same way.
        LSizedArray<unsigned char> bytes;
        LOutputStreamByteArray stream(bytes);
        LSDFWriter<LOutputStreamByteArray> writer;
        writer.Open(stream, 7, 3);
        writer.StartContainer(kVTLabelLayoutChunk);
        Recorder inner;
        EXPECT_EQ(layout.SerialiseToSDF(inner, writer), LProcessResultError) << c.what;
        EXPECT_EQ(inner.error, c.error);
    }
}

TEST_F(LabelLayoutFile, SaveReportsAndStops)
{
    VTLabelLayout layout;
    BuildPaperLayout(layout);
    Recorder job;
    ASSERT_EQ(Save(layout, Path("report.vtlayout"), job), LProcessResultSuccess);
    using Status = std::pair<int, std::string>;
    const std::vector<Status> expected = { { 0, "Sparar report.vtlayout" },
        { 0, "Skriva etikettlayout" }, { 1, "Sidan Skriva etikettlayout" },
        { 2, "Mall för etikettlayout" }, { 2, "Mall för etikettlayout" },
        { 1, "Sidan Skriva etikettlayout" }, { 2, "Mall för etikettlayout" } };
    EXPECT_EQ(job.statuses, expected);
    ASSERT_FALSE(job.progress.empty());
    EXPECT_DOUBLE_EQ(job.progress.back(), 1.0);
    for (size_t i = 1; i < job.progress.size(); ++i)
        EXPECT_GE(job.progress[i] + 1e-9, job.progress[i - 1]) << i;

    // A stop request before any page, or before the second: result 1, no file, no error.
    for (int stopAfter : { 0, 3 }) {
        Recorder stopping;
        stopping.stopAfter = stopAfter;
        EXPECT_EQ(Save(layout, Path("stopped.vtlayout"), stopping), LProcessResultStopped);
        EXPECT_EQ(stopping.error, "");
        EXPECT_FALSE(LFile::TestFileExists(Path("stopped.vtlayout").c_str()));
        EXPECT_TRUE(TemporaryLeftovers().empty());
    }
    VTLabelLayout loaded;
    Recorder stopLoad;
    stopLoad.stopAfter = 2;
    EXPECT_EQ(LoadFile(Path("report.vtlayout"), loaded, stopLoad), LProcessResultStopped);

    // A target in a folder that does not exist: nothing can be made there.
    Recorder nowhere;
    EXPECT_EQ(Save(layout, Path("no/such/folder/x.vtlayout"), nowhere), LProcessResultError);
    EXPECT_EQ(nowhere.error, "Det gick inte att skapa filen.");
    EXPECT_TRUE(TemporaryLeftovers().empty());

    // Saving over an existing file replaces it.
    TemporaryFolder::WriteFile(Path("over.vtlayout"), "old");
    Recorder over;
    ASSERT_EQ(Save(layout, Path("over.vtlayout"), over), LProcessResultSuccess);
    EXPECT_EQ(TemporaryFolder::ReadFile(Path("over.vtlayout")),
        TemporaryFolder::ReadFile(Path("report.vtlayout")));
}

TEST_F(LabelLayoutFile, LayoutsNoSheetHoldsAreRefused)
{
    // More pages than the limit: written (they are well formed), refused when read.
    VTLabelLayout many;
    utf8strlcpy(many.key, "Many", sizeof many.key);
    for (size_t i = 0; i <= kVTLabelLayoutMaxPages; ++i)
        many.AddPage()->AddTemplate(VTTemplateFormatDisc, many.NewTemplateID());
    Recorder job;
    ASSERT_EQ(Save(many, Path("many.vtlayout"), job), LProcessResultSuccess) << job.error;
    VTLabelLayout loaded;
    Recorder reading;
    EXPECT_EQ(LoadFile(Path("many.vtlayout"), loaded, reading), LProcessResultError);
    EXPECT_EQ(reading.error, "Etikettlayouten har för många sidor.");
    // A position a kilometre from the sheet.
    VTLabelLayout far;
    Recorder farReading;
    EXPECT_EQ(LoadFile(VT_TEST_DATA "/vtlayout/off_sheet.vtlayout", far, farReading),
        LProcessResultError);
    EXPECT_NE(farReading.error, "");
}
