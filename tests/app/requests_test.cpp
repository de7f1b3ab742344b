// The requests of a start as they are read and as their failure is told: files where a request
// belongs are called files, and a start that failed while it ran says what it had done.
#include "app/VTRequests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Refusals(std::vector<const char*> args)
{
    std::vector<VTRequest> requests;
    std::vector<std::string> refusals;
    EXPECT_FALSE(VTRequestsRead(int(args.size()), args.data(), requests, refusals));
    EXPECT_TRUE(requests.empty());
    return refusals;
}

} // namespace

// Several files alone, as a launcher hands them over, are one refusal that names them as files;
// a file among requests where a request belongs is called a file, and what follows it is read
// as requests again.
TEST(Requests, FilesWhereARequestBelongsAreCalledFiles)
{
    EXPECT_EQ(Refusals({ "/hem/a.vtproj", "/hem/b b.vtproj" }),
        std::vector<std::string> {
            "Vorantel öppnar en fil i taget men fick 2 filer: ”a.vtproj”, ”b b.vtproj”." });
    std::vector<std::string> many;
    for (int i = 0; i < 25; ++i)
        many.push_back("/p/" + std::to_string(i) + ".png");
    std::vector<const char*> args;
    for (const std::string& m : many)
        args.push_back(m.c_str());
    const std::vector<std::string> refused = Refusals(args);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("fick 25 filer: ”0.png”"), std::string::npos);
    EXPECT_NE(refused[0].find("”19.png” …."), std::string::npos);
    EXPECT_EQ(refused[0].find("”20.png”"), std::string::npos);

    EXPECT_EQ(Refusals({ "-open", "/hem/a.vtproj", "/hem/b.vtproj", "-addtext", "/t.txt" }),
        std::vector<std::string> { "Filen ”b.vtproj” står där en begäran ska stå. Ange den efter "
                                   "en begäran, till exempel -open eller -addimage." });
    EXPECT_EQ(Refusals({ "-bogus", "x" }),
        std::vector<std::string> { "Vorantel känner inte till begäran ”-bogus”." });
    // One file alone is a project to open, as before.
    std::vector<VTRequest> requests;
    std::vector<std::string> refusals;
    const char* one[] = { "/hem/a.vtproj" };
    EXPECT_TRUE(VTRequestsRead(1, one, requests, refusals));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, VTRequestKind::kOpen);
}

// A start that failed while it ran names what failed, what had been carried out before it (the
// first twenty, the rest counted) and how many were not carried out; a start of one request is
// told its failure alone.
TEST(Requests, AFailureTellsWhatHadBeenDone)
{
    using K = VTRequestKind;
    const std::vector<VTRequest> three { { K::kAddText, "/a/t.txt" }, { K::kAddImage, "/a/b.png" },
        { K::kAddText, "/a/u.txt" } };
    EXPECT_EQ(VTRequestsFailureText(three, 1, "Det gick inte att lägga till bilden ”b.png”."),
        "Det gick inte att lägga till bilden ”b.png”.\nInnan dess utfördes 1 av 3 begäranden:\n"
        "Texten i ”t.txt” lades till.\nDen begäran som återstod utfördes inte.");
    EXPECT_EQ(VTRequestsFailureText(three, 0, "Fel."),
        "Fel.\nIngen begäran hade utförts innan dess.\nDe 2 begäranden som återstod utfördes "
        "inte.");
    EXPECT_EQ(VTRequestsFailureText({ three[0] }, 0, "Fel."), "Fel.");
    const std::vector<VTRequest> kinds { { K::kOpen, "/p/skiva.vtproj" }, { K::kNew, "dvd" },
        { K::kCustom, "/p/egen.vtlayout" }, { K::kAddImage, "/p/a.png" }, { K::kAddText, "/t" } };
    EXPECT_EQ(VTRequestsFailureText(kinds, 4, "Fel."),
        "Fel.\nInnan dess utfördes 4 av 5 begäranden:\nProjektet ”skiva.vtproj” öppnades.\nEtt "
        "nytt projekt (dvd) skapades.\nEtt nytt projekt på etikettlayouten ”egen.vtlayout” "
        "skapades.\nBilden ”a.png” lades till.");
    const std::vector<VTRequest> many(1000, VTRequest { K::kAddText, "/t.txt" });
    const std::string text = VTRequestsFailureText(many, 500, "Fel.");
    EXPECT_NE(text.find("Innan dess utfördes 500 av 1000 begäranden:"), std::string::npos);
    EXPECT_NE(text.find("\n… och 480 till.\nDe 499 begäranden som återstod utfördes inte."),
        std::string::npos);
}
