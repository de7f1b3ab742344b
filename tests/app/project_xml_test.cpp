// Old XML projects (".vtx") read into projects, from hand-written files in tests/data/vtx.
#include "app/VTLabelLayout.h"
#include "app/VTOptions.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "app/VTProjectXML.h"
#include "lfw/gen/LXML.h"
#include "support/TemporaryFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

class RecordingProcess : public LProcessInterfaceVoid {
public:
    bool IsToStop() override { return stopAfter >= 0 && checks++ >= stopAfter; }
    void SetError(const char* text) override
    {
        error = text ? text : "";
        ++errors;
    }
    std::string error;
    int errors = 0;
    int stopAfter = -1;
    int checks = 0;
};

std::string Fixture(const char* name)
{
    return std::string(VT_TEST_DATA) + "/vtx/" + name;
}

VTProjectTemplate* Design(VTProject& project, size_t index)
{
    return project.templates.GetAt(index);
}

VTOverlayText* Text(VTProjectTemplate& design, size_t index)
{
    VTOverlay* overlay = design.GetItemAt(index);
    return overlay && overlay->GetType() == VTOverlayTypeText ? static_cast<VTOverlayText*>(overlay)
                                                              : nullptr;
}

std::string FontName(const VTOverlayText& text)
{
    char name[260];
    text.GetFont().GetName(name, sizeof name);
    return name;
}

class ProjectXML : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fHome.IsValid());
        setenv("XDG_CONFIG_HOME", fHome.Path().c_str(), 1);
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
    }
    LProcessResult Load(const std::string& path)
    {
        fProcess.error.clear();
        fProcess.errors = 0;
        return VTProjectLoadXML(fProcess, fProject, path.c_str());
    }
    LProcessResult LoadText(const char* xml)
    {
        LXMLDocument document;
        char error[260];
        document.LoadFromText(nullptr, xml, error);
        fProcess.error.clear();
        return fProject.SerialiseFromXML(fProcess, document);
    }

    TemporaryFolder fHome;
    RecordingProcess fProcess;
    VTProject fProject;
};

} // namespace

TEST_F(ProjectXML, CdProjectBuildsLayoutDesignsAndOverlays)
{
    ASSERT_EQ(Load(Fixture("cd_project.vtx")), 0) << fProcess.error;
    EXPECT_EQ(fProcess.error, "");
    EXPECT_EQ(fProject.GetPath(), Fixture("cd_project.vtproj"));

    VTLabelLayout* layout = fProject.GetLabelLayout();
    ASSERT_NE(layout, nullptr);
    EXPECT_STREQ(layout->key, "Custom");
    EXPECT_STREQ(layout->name, "Anpassad");
    EXPECT_EQ(layout->printMedium, VTPrintMediumPaper);
    EXPECT_EQ(layout->paperSize, LPaperSizeA4);
    ASSERT_EQ(layout->pages.GetCount(), 3u);
    ASSERT_EQ(fProject.templates.GetCount(), 3u);
    EXPECT_EQ(layout->largestTemplateID, 2);

    const VTTemplateFormat formats[3]
        = { VTTemplateFormatDisc, VTTemplateFormatCaseCDFront, VTTemplateFormatCaseCDBack };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        VTLabelLayoutPage* page = layout->pages.GetAt(i);
        ASSERT_EQ(page->GetCount(), 1u);
        VTLabelLayoutTemplate* position = page->first;
        EXPECT_EQ(position->GetFormat(), formats[i]);
        EXPECT_EQ(position->GetID(), int32_t(i));
        EXPECT_EQ(page->GetOrientation(),
            i == 0 ? LPaperSizeOrientationPortrait : LPaperSizeOrientationLandscape);
        EXPECT_FLOAT_EQ(position->rotation, i == 0 ? 0.0f : 90.0f);
        VTProjectTemplate* design = Design(fProject, i);
        EXPECT_EQ(design->GetFormat(), formats[i]);
        EXPECT_TRUE(design->HasMappingToLabelLayoutTemplateID(int32_t(i)));
        EXPECT_EQ(fProject.FindTemplateForLabelLayoutTemplateID(int32_t(i)), design);
    }

    // Disc: centred across A4, 25 mm down from the top edge: 60 + 25 - 148.5.
    VTLabelLayoutTemplate* disc = layout->pages.GetAt(0)->first;
    EXPECT_FLOAT_EQ(disc->centreX, 0);
    EXPECT_FLOAT_EQ(disc->centreY, -63.5f);
    // CD front on landscape A4 (297 wide), 10 mm from the left: 120 + 10 - 148.5, stored turned.
    VTLabelLayoutTemplate* front = layout->pages.GetAt(1)->first;
    EXPECT_FLOAT_EQ(front->centreX, 0);
    EXPECT_FLOAT_EQ(front->centreY, -18.5f);

    // Backgrounds: the alpha byte is ignored.
    const LBrushInfo* brush = Design(fProject, 0)->backgroundBrush.Get();
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->kind, uint32_t(LBrushInfoKindSolid));
    EXPECT_EQ(brush->color.red, 0x3300);
    EXPECT_EQ(brush->color.green, 0x6600);
    EXPECT_EQ(brush->color.blue, 0x9900);
    EXPECT_EQ(brush->color.alpha, 255);
    EXPECT_EQ(Design(fProject, 1)->backgroundBrush->color.alpha, 255);
    EXPECT_EQ(Design(fProject, 2)->backgroundBrush->color.red, 0xFF00);
    EXPECT_EQ(Design(fProject, 2)->GetCount(), 0u);
}

TEST_F(ProjectXML, ElementsBecomeTextOverlays)
{
    ASSERT_EQ(Load(Fixture("cd_project.vtx")), 0) << fProcess.error;
    VTProjectTemplate& disc = *Design(fProject, 0);
    ASSERT_EQ(disc.GetCount(), 2u); // the "shape" element is passed over

    // (1000, 500, 4000, 2000, 90): centre (30, 15), the box turned to 20 x 40.
    VTOverlayText* first = Text(disc, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_FLOAT_EQ(first->centreX, 30);
    EXPECT_FLOAT_EQ(first->centreY, 15);
    EXPECT_FLOAT_EQ(first->width, 20);
    EXPECT_FLOAT_EQ(first->height, 40);
    EXPECT_FLOAT_EQ(first->rotation, 90);
    EXPECT_STREQ(first->GetText(), "Sommar & sol");
    EXPECT_EQ(FontName(*first), "Lucida Grande");
    EXPECT_EQ(first->GetFont().GetSize(), 12); // 40 x 0.3
    EXPECT_TRUE(first->GetFont().IsBold());
    EXPECT_TRUE(first->GetFont().IsItalic());
    EXPECT_FALSE(first->GetFont().IsUnderlined());
    EXPECT_EQ(first->GetAlignment(), 4); // 5 is the centre, stored unturned
    // ff000080: opaque red text; the background keeps its alpha.
    EXPECT_EQ(first->GetTextColour().r, 255);
    EXPECT_EQ(first->GetTextColour().g, 0);
    EXPECT_EQ(first->GetTextColour().b, 0);
    EXPECT_EQ(first->GetTextColour().a, 255);
    EXPECT_EQ(first->GetBackgroundColour().r, 0);
    EXPECT_EQ(first->GetBackgroundColour().g, 255);
    EXPECT_EQ(first->GetBackgroundColour().a, 0x40);

    VTOverlayText* second = Text(disc, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->GetText(), "Spår 1\nSpår 2");
    EXPECT_EQ(second->GetFont().GetSize(), 2); // the default 7 x 0.3
    EXPECT_EQ(second->GetAlignment(), 0);
    EXPECT_EQ(second->GetTextColour().r, 0);
    EXPECT_EQ(second->GetTextColour().a, 255);
    EXPECT_EQ(second->GetBackgroundColour().a, 255); // "ffffffff"
    EXPECT_FLOAT_EQ(second->centreX, 0);
    EXPECT_FLOAT_EQ(second->centreY, -10);

    // 270 degrees exchanges the sides too; alignment 10 is the bottom right; underline.
    VTOverlayText* front = Text(*Design(fProject, 1), 0);
    ASSERT_NE(front, nullptr);
    EXPECT_FLOAT_EQ(front->width, 30);
    EXPECT_FLOAT_EQ(front->height, 220);
    EXPECT_EQ(front->GetAlignment(), 8);
    EXPECT_TRUE(front->GetFont().IsUnderlined());
    EXPECT_FALSE(front->GetFont().IsBold());

    // The designs are the project's: a change marks it modified.
    EXPECT_NE(fProject.GetSaveState(), VTProjectSaveStateModified);
    first->SetText("Höst");
    EXPECT_EQ(fProject.GetSaveState(), VTProjectSaveStateModified);
}

TEST_F(ProjectXML, DvdProjectSkipsCdCaseContainers)
{
    ASSERT_EQ(Load(Fixture("dvd_project.vtx")), 0) << fProcess.error;
    ASSERT_EQ(fProject.templates.GetCount(), 1u);
    EXPECT_EQ(Design(fProject, 0)->GetFormat(), VTTemplateFormatDisc);
    EXPECT_EQ(fProject.GetLabelLayout()->pages.GetCount(), 1u);
    EXPECT_EQ(fProject.GetLabelLayout()->pages.GetHead()->first->GetID(), 0);
    VTOverlayText* text = Text(*Design(fProject, 0), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetFont().GetSize(), 21); // 70 x 0.3 exactly, not 20.999...
    EXPECT_EQ(text->GetAlignment(), 0); // 3 is the top left
    EXPECT_EQ(Design(fProject, 0)->backgroundBrush->color.red, 0);

    ASSERT_EQ(Load(Fixture("dvd_case.vtx")), 0) << fProcess.error;
    ASSERT_EQ(fProject.templates.GetCount(), 2u);
    EXPECT_EQ(Design(fProject, 1)->GetFormat(), VTTemplateFormatCaseDVD);
    VTLabelLayoutPage* page = fProject.GetLabelLayout()->pages.GetAt(1);
    EXPECT_EQ(page->GetOrientation(), LPaperSizeOrientationPortrait);
    // 136 - 5 - 105 across, 92 + 3 - 148.5 down.
    EXPECT_FLOAT_EQ(page->first->centreX, 26);
    EXPECT_FLOAT_EQ(page->first->centreY, -53.5f);
    EXPECT_EQ(page->first->GetID(), 1);
    VTOverlayText* turned = Text(*Design(fProject, 1), 0);
    ASSERT_NE(turned, nullptr);
    EXPECT_FLOAT_EQ(turned->width, 30); // 45 degrees: sides kept
    EXPECT_FLOAT_EQ(turned->height, 15);
}

TEST_F(ProjectXML, MissingFontAndPictureDoNotStopTheLoad)
{
    ASSERT_EQ(Load(Fixture("missing_font_and_image.vtx")), 0) << fProcess.error;
    // The font falls back in silence; the picture is named, since a save would drop it.
    EXPECT_EQ(fProcess.errors, 1);
    EXPECT_EQ(fProcess.error,
        "Det gick inte att läsa in en överlagringsbild korrekt:\n"
        "”/Users/anna/Pictures/omslag.jpg” (Det gick inte att hitta filen.)");
    VTProjectTemplate& disc = *Design(fProject, 0);
    ASSERT_EQ(disc.GetCount(), 3u);
    // "Lucida Grande", the default, is kept by name though no such font is installed here.
    EXPECT_EQ(FontName(*Text(disc, 0)), "Lucida Grande");
    EXPECT_STREQ(Text(disc, 1)->GetText(), "Okänt teckensnitt");
    EXPECT_TRUE(Text(disc, 1)->GetFont().HasFont());

    VTOverlay* overlay = disc.GetItemAt(2);
    ASSERT_EQ(overlay->GetType(), VTOverlayTypeImage);
    auto* image = static_cast<VTOverlayImage*>(overlay);
    EXPECT_FALSE(image->HasValidImage());
    EXPECT_FLOAT_EQ(image->width, 40);
    EXPECT_FLOAT_EQ(image->height, 30);
    EXPECT_FLOAT_EQ(image->centreX, 0);
    EXPECT_FLOAT_EQ(image->centreY, -5);
    EXPECT_FLOAT_EQ(image->rotation, 180);
}

TEST_F(ProjectXML, PictureIsLoadedIntoItsBox)
{
    const std::string picture = std::string(VT_TEST_DATA) + "/images/base.png";
    const std::string path = fHome / "bild.vtx";
    TemporaryFolder::WriteFile(path,
        "<vorantel_project type=\"cd\"><container type=\"disc\">"
        "<element type=\"image\" x=\"0\" y=\"0\" w=\"2000\" h=\"1000\" angle=\"90\" img=\""
            + picture + "\"/></container></vorantel_project>");
    ASSERT_EQ(Load(path), 0) << fProcess.error;
    auto* image = static_cast<VTOverlayImage*>(Design(fProject, 0)->GetItemAt(0));
    ASSERT_EQ(image->GetType(), VTOverlayTypeImage);
    EXPECT_TRUE(image->HasValidImage());
    EXPECT_GT(image->GetImage().GetWidth(), 0);
    EXPECT_FLOAT_EQ(image->width, 10);
    EXPECT_FLOAT_EQ(image->height, 20);
    EXPECT_FLOAT_EQ(image->centreX, 10);
    EXPECT_FLOAT_EQ(image->centreY, 5);
    EXPECT_STREQ(image->GetSourcePath(), "");
    // The picture turns with the box.
    EXPECT_NEAR(image->transform.m[0][1], 1.0f, 1e-6);
    EXPECT_EQ(fProject.GetPath(), fHome / "bild.vtproj");
}

// Every picture that could not be read is named in one message for the project, given after
// the whole project was read: a missing file, a damaged one and one with a relative path; the
// picture that could be read is not named.
TEST_F(ProjectXML, UnreadPicturesAreNamedOnceForTheProject)
{
    const std::string good = std::string(VT_TEST_DATA) + "/images/base.png";
    TemporaryFolder::WriteFile(fHome / "trasig.png", "\x89PNG\r\n\x1a\n-- not a picture --");
    const std::string path = fHome / "bilder.vtx";
    auto image = [](const std::string& file) {
        return "<element type=\"image\" w=\"1000\" h=\"1000\" img=\"" + file + "\"/>";
    };
    TemporaryFolder::WriteFile(path,
        "<vorantel_project type=\"cd\"><container type=\"disc\">" + image(fHome / "borta.png")
            + image(good) + "</container><container type=\"cd_front\">" + image("trasig.png")
            + "</container></vorantel_project>");
    ASSERT_EQ(Load(path), 0) << fProcess.error;
    EXPECT_EQ(fProcess.errors, 1);
    EXPECT_EQ(
        fProcess.error.rfind("Det gick inte att läsa in en överlagringsbild korrekt:\n”", 0), 0u)
        << fProcess.error;
    EXPECT_NE(fProcess.error.find("”" + fHome / "borta.png" + "”"), std::string::npos);
    EXPECT_NE(fProcess.error.find("”trasig.png”"), std::string::npos);
    EXPECT_EQ(fProcess.error.find("base.png"), std::string::npos);
    // The project opened whole, with empty boxes where the pictures were.
    ASSERT_EQ(fProject.templates.GetCount(), 2u);
    EXPECT_EQ(Design(fProject, 0)->GetCount(), 2u);
    EXPECT_EQ(Design(fProject, 1)->GetCount(), 1u);
    EXPECT_TRUE(static_cast<VTOverlayImage*>(Design(fProject, 0)->GetItemAt(1))->HasValidImage());
    EXPECT_FALSE(static_cast<VTOverlayImage*>(Design(fProject, 1)->GetItemAt(0))->HasValidImage());

    // A name longer than any path is cut.
    const std::string longName(5000, 'x');
    TemporaryFolder::WriteFile(path,
        "<vorantel_project type=\"cd\"><container type=\"disc\">" + image(longName)
            + "</container></vorantel_project>");
    ASSERT_EQ(Load(path), 0) << fProcess.error;
    EXPECT_LT(fProcess.error.size(), 400u);
    EXPECT_NE(fProcess.error.find("xxx…”"), std::string::npos) << fProcess.error;

    // Many at once make one message that names the first ten and counts the rest.
    std::string many = "<vorantel_project type=\"cd\"><container type=\"disc\">";
    for (int i = 0; i < 14; ++i)
        many += image("saknas" + std::to_string(i) + ".png");
    TemporaryFolder::WriteFile(path, many + "</container></vorantel_project>");
    ASSERT_EQ(Load(path), 0) << fProcess.error;
    EXPECT_EQ(fProcess.errors, 1);
    EXPECT_NE(fProcess.error.find("”saknas9.png”"), std::string::npos);
    EXPECT_EQ(fProcess.error.find("”saknas10.png”"), std::string::npos);
    EXPECT_NE(fProcess.error.find("\noch 4 till."), std::string::npos) << fProcess.error;
}

TEST_F(ProjectXML, ErrorsLeaveTheProjectAsItWas)
{
    ASSERT_EQ(Load(Fixture("cd_project.vtx")), 0);
    const std::string path = fProject.GetPath();
    const VTLabelLayout* layout = fProject.GetLabelLayout();
    const struct {
        const char* file;
        const char* error;
    } cases[] = {
        { "bad_template.vtx", "Ogiltig malltyp." },
        { "bad_project_type.vtx", "Ogiltig projekttyp." },
        { "no_templates.vtx", "Inga mallar hittades." },
        { "not_a_project.vtx", "Filen är inte ett Vorantel-projekt." },
        { "missing.vtx", "Det gick inte att tolka filen." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(Load(Fixture(c.file)), 2);
        EXPECT_EQ(fProcess.error, c.error);
        EXPECT_EQ(fProject.templates.GetCount(), 3u);
        EXPECT_EQ(fProject.GetLabelLayout(), layout);
        EXPECT_EQ(fProject.GetPath(), path);
    }
}

// A document cut off before its root element closes, or one that is not well-formed, is refused
// with the reader's message; the project open before stays as it was.
TEST_F(ProjectXML, TruncatedAndMalformedFilesAreRefused)
{
    ASSERT_EQ(Load(Fixture("cd_project.vtx")), 0);
    const std::string path = fProject.GetPath();
    const VTLabelLayout* layout = fProject.GetLabelLayout();
    const std::string whole = TemporaryFolder::ReadFile(Fixture("cd_project.vtx"));
    ASSERT_EQ(whole.size(), 865u);
    std::vector<std::pair<std::string, std::string>> files;
    // Also every cut inside the root's end tag, down to one without its last ">".
    std::vector<size_t> cuts { 108u, 216u, 432u, 648u };
    for (size_t cut = whole.rfind("</vorantel_project>"); cut < whole.size() - 1; ++cut)
        cuts.push_back(cut);
    for (size_t cut : cuts)
        files.emplace_back("cut at " + std::to_string(cut), whole.substr(0, cut));
    files.emplace_back("truncated.vtx", TemporaryFolder::ReadFile(Fixture("truncated.vtx")));
    files.emplace_back("mismatched end tag",
        "<vorantel_project type=\"cd\"><container type=\"disc\"></contianer></vorantel_project>");
    files.emplace_back("ampersand without semicolon",
        "<vorantel_project type=\"cd\"><container type=\"disc\"><element type=\"text\" "
        "text=\"A & B\"/></container></vorantel_project>");
    files.emplace_back("lone <",
        "<vorantel_project type=\"cd\"><container type=\"disc\">< "
        "</container></vorantel_project>");
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string file = fHome / "trasig.vtx";
        TemporaryFolder::WriteFile(file, bytes);
        EXPECT_EQ(Load(file), 2);
        EXPECT_EQ(fProcess.error, "Det gick inte att tolka filen.");
        EXPECT_EQ(fProject.templates.GetCount(), 3u);
        EXPECT_EQ(fProject.GetLabelLayout(), layout);
        EXPECT_EQ(fProject.GetPath(), path);
    }
    // The whole file still opens, and so does one with unknown entities (no error of the reader).
    EXPECT_EQ(Load(Fixture("cd_project.vtx")), 0) << fProcess.error;
}

TEST_F(ProjectXML, StopRequestEndsTheRead)
{
    LXMLDocument document;
    char error[260];
    ASSERT_EQ(document.LoadFromFile(fProcess, Fixture("cd_project.vtx").c_str(), error), 0);
    fProcess.stopAfter = 0;
    EXPECT_EQ(VTProjectSerialiseFromXML(fProcess, fProject, document), 1);
    EXPECT_EQ(fProject.templates.GetCount(), 0u);
    EXPECT_STREQ(fProject.GetPath(), "Namnlöst.vtproj");
}

// An old project of many elements is read asking whether to stop every few milliseconds, not for
// every element or every few hundred bytes of its text (under the progress window each question
// turns the window's event loop, which costs more than reading an element); a stop asked for
// halfway through still ends the read.
TEST_F(ProjectXML, StopIsAskedEveryFewMillisecondsNotForEveryElement)
{
    constexpr int kElements = 40000;
    std::string xml = "<vorantel_project type=\"cd\">\n<container type=\"disc\">\n";
    for (int i = 0; i < kElements; ++i)
        xml += "<element type=\"text\" x=\"" + std::to_string(i % 5000) + "\" y=\""
            + std::to_string(i % 4000) + "\" w=\"900\" h=\"400\" text=\"R" + std::to_string(i)
            + "\"/>\n";
    xml += "</container>\n</vorantel_project>\n";
    const std::string path = fHome / "stor.vtx";
    TemporaryFolder::WriteFile(path, xml);

    fProcess.stopAfter = kElements * 100; // counts the questions, never stops
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Load(path), LProcessResultSuccess);
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start)
                             .count();
    ASSERT_EQ(fProject.templates.GetCount(), 1u);
    EXPECT_EQ(Design(fProject, 0)->GetCount(), size_t(kElements));
    std::printf("%d elements (%zu bytes) read in %lld ms, asking %d times whether to stop\n",
        kElements, xml.size(), ms, fProcess.checks);
    // Once in 5 ms at most, besides the few questions between the steps of the read.
    EXPECT_LE(fProcess.checks, ms / 2 + 20);

    // Stopped halfway through the questions: nothing of the project is taken.
    RecordingProcess stopping;
    stopping.stopAfter = fProcess.checks / 2;
    VTProject other;
    EXPECT_EQ(VTProjectLoadXML(stopping, other, path.c_str()), LProcessResultStopped);
    EXPECT_EQ(other.templates.GetCount(), 0u);
}

TEST_F(ProjectXML, HostileNumbersAreHeld)
{
    ASSERT_EQ(LoadText("<vorantel_project type=\"cd\"><container type=\"disc\" "
                       "h_print_centered=\"no\" h_print_offset=\"99999999999999999999\">"
                       "<element type=\"text\" x=\"-99999999999\" w=\"-5\" h=\"abc\" "
                       "font_size=\"-40\" font_alignment=\"11\" color=\"fffffffff0\"/>"
                       "<element type=\"text\" font_size=\"2147483647\" angle=\"-90\" "
                       "w=\"100\" h=\"200\" font=\"\"/>"
                       "</container></vorantel_project>"),
        0)
        << fProcess.error;
    VTProjectTemplate& disc = *Design(fProject, 0);
    VTOverlayText* first = Text(disc, 0);
    EXPECT_FLOAT_EQ(first->width, 0);
    EXPECT_FLOAT_EQ(first->height, 0);
    EXPECT_FLOAT_EQ(first->centreX, -21474836.48f);
    EXPECT_EQ(first->GetFont().GetSize(), 1);
    EXPECT_EQ(first->GetAlignment(), 0);
    VTOverlayText* second = Text(disc, 1);
    EXPECT_EQ(second->GetFont().GetSize(), 1000);
    EXPECT_FLOAT_EQ(second->width, 1); // -90 is not one of the exchanged angles
    EXPECT_EQ(FontName(*second), "Lucida Grande");
    EXPECT_GT(fProject.GetLabelLayout()->pages.GetHead()->first->centreX, 1e8f);
}

TEST_F(ProjectXML, LoadJobOpensOldProjects)
{
    VTProject project;
    VTProjectLoad job;
    job.project = &project;
    const std::string path = Fixture("dvd_project.vtx");
    utf8strlcpy(job.path, path.c_str(), sizeof job.path);
    ASSERT_EQ(Process(fProcess, job), 0) << fProcess.error;
    EXPECT_EQ(project.GetSaveState(), VTProjectSaveStateSaved);
    EXPECT_EQ(project.GetPath(), Fixture("dvd_project.vtproj"));
    EXPECT_EQ(project.templates.GetCount(), 1u);
}

// A relative picture path is taken from the project file's folder, wherever the program runs.
TEST_F(ProjectXML, RelativePicturePathFromTheProjectFolder)
{
    const std::string folder = fHome / "projekt";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((folder + "/bilder").c_str(), 0700), 0);
    const std::string picture = std::string(VT_TEST_DATA) + "/images/base.png";
    ASSERT_EQ(symlink(picture.c_str(), (folder + "/bilder/omslag.png").c_str()), 0);
    const std::string path = folder + "/bild.vtx";
    TemporaryFolder::WriteFile(path,
        "<vorantel_project type=\"cd\"><container type=\"disc\">"
        "<element type=\"image\" x=\"0\" y=\"0\" w=\"2000\" h=\"1000\" "
        "img=\"bilder/omslag.png\"/></container></vorantel_project>");
    char* before = getcwd(nullptr, 0);
    ASSERT_EQ(chdir("/"), 0);
    const int result = Load(path);
    EXPECT_EQ(chdir(before), 0);
    free(before);
    ASSERT_EQ(result, 0) << fProcess.error;
    auto* image = static_cast<VTOverlayImage*>(Design(fProject, 0)->GetItemAt(0));
    EXPECT_TRUE(image->HasValidImage());
}

// A project read from an old file at a long path takes that path with the new extension, whole.
TEST_F(ProjectXML, LongPathsKeepTheirName)
{
    std::string folder = fHome / std::string(200, 'm');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "\xC3\xB6"; // ö
    const std::string path = folder + "/" + name + ".vtx";
    TemporaryFolder::WriteFile(
        path, "<vorantel_project type=\"cd\"><container type=\"disc\"/></vorantel_project>");
    ASSERT_EQ(Load(path), 0) << fProcess.error;
    EXPECT_EQ(fProject.GetPath(), folder + "/" + name + ".vtproj");
}
