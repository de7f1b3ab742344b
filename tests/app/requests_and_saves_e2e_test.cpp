// Requests of later starts and saves, through the whole program as a person meets them: the
// built `vorantel` on the test's X server, alerts read and answered with real clicks (xdotool),
// later starts' exit status and standard error, saves onto a disk that fills up, saves of files
// the user may not write (the program run as an ordinary user), damaged projects, an autosave in
// a deep data folder and the favourites step of the first exit. Screenshots are kept in
// <build>/e2e-files. Runs once more at a backing scale of 2 (VT_ALSO_SCALED).
#include "app/VTProjectFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/zor/LSingleInstance.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"
#include "support/ScreenShots.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace e2e;

namespace {

// Where the screenshots are kept.
const char* const kShots = "e2e-files";

// A later start whose request the running program refuses: the later start ends at once with
// status 1 and the reason, while the alert that names the files still shows; then its button is
// clicked.
void ExpectRefused(Session& s, const std::vector<std::string>& args, const std::string& title,
    const std::string& message, const std::string& shot, const char* button = "OK")
{
    SCOPED_TRACE(shot);
    ForgetAlert(s.rects);
    Program later(args, s.Capture(shot));
    EXPECT_EQ(later.Wait(10000), 1);
    EXPECT_EQ(later.Errors(), "vorantel: " + message + "\n");
    EXPECT_EQ(AlertText(s.rects), title + "\n" + message + "\n");
    ScreenShot(shot, kShots);
    EXPECT_TRUE(ClickAlertButton(s.rects, button));
}

} // namespace

// Refusals of later starts' requests are told in the running program (one alert naming the
// files) and at once to the later start (status 1, the reason on standard error), also while a
// question shows there; a request that waits for the answer to a question of its own is
// answered as waiting (status 2) within moments, not as carried out, and one behind the quit
// question waits for its answer.
TEST(RequestsAndSaves, RefusedAndWaitingRequestsAreTold)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string text = s.Write("t.txt", "Skivetikett");
    const std::string nul = s.Write("nul.txt", std::string("fore\0efter", 10));
    const std::string big = s.Write("stor.txt", std::string((1 << 20) + 1, 'a'));
    const std::string broken = s.Write("trasig.txt", "a\xC3(b");

    auto first = std::make_unique<Program>(std::vector<std::string> {});
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitFile(s.rects));
    Sleep(500);
    const std::string title = "Begäran kunde inte utföras";

    // No project open: nothing to add to.
    ExpectRefused(s,
        { "-addtext", text, "-addimage", std::string(VT_TEST_DATA) + "/images/base.png" }, title,
        "Inget projekt är öppet, så texten i ”t.txt” lades inte till.\nInget projekt är öppet, "
        "så bilden ”base.png” lades inte till.",
        "no-project");

    {
        Program later({ "-new", "cd" }, s.Capture("new"));
        EXPECT_EQ(later.Wait(10000), 0);
        EXPECT_EQ(later.Errors(), "");
    }
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj"));

    // A NUL byte makes a binary file; big and broken files are refused with their reasons.
    ExpectRefused(s, { "-addtext", nul }, title,
        "Filen ”nul.txt” är ingen textfil och lades inte till.", "nul-byte");
    ExpectRefused(s, { "-addtext", big, "-addtext", broken }, title,
        "Textfilen ”stor.txt” är större än 1 MiB och lades inte till.\nTextfilen ”trasig.txt” "
        "är inte giltig UTF-8-text och lades inte till.",
        "big-and-broken");
    // How long a start takes here to be carried out and told so: the reference for how soon the
    // start behind the question below would have its answer if it were given one at once.
    long long answered = 0;
    {
        ForgetAlert(s.rects);
        const auto asked = Clock::now();
        Program later({ "-addtext", text }, s.Capture("text"));
        EXPECT_EQ(later.Wait(10000), 0);
        answered = Ms(Clock::now() - asked);
        EXPECT_EQ(later.Errors(), "");
        EXPECT_EQ(AlertText(s.rects, 500), "");
    }
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj"));

    // The unsaved question of Ctrl+Q is up: a refusal known at once is answered at once, and a
    // request that can be carried out waits for the answer (never told that it waits and then
    // dropped by the quit). Once the question is answered ("Avbryt") the refusal is told and the
    // waiting text added.
    ForgetAlert(s.rects);
    KeysTo(xid, "ctrl+q");
    ASSERT_EQ(AlertText(s.rects),
        "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n");
    {
        Program later({ "-addtext", nul }, s.Capture("refused-at-once"));
        EXPECT_EQ(later.Wait(5000), 1);
        EXPECT_EQ(
            later.Errors(), "vorantel: Filen ”nul.txt” är ingen textfil och lades inte till.\n");
    }
    {
        Program later({ "-addtext", text }, s.Capture("waiting"));
        // Told at once, it would have ended once its patience for an outcome after that word ran
        // out, within about the time the same start took above; it is watched that long and ten
        // times the start's time more, at least a second more and at most the four seconds it
        // used to be watched whatever the machine.
        const long long watched = std::min<long long>(
            4000, LSingleInstance::kQueuedGraceMs + std::max<long long>(1000, 10 * answered));
        EXPECT_EQ(later.Wait(int(watched)), -1) << later.Errors();
        ScreenShot("waiting-behind-question", kShots);
        ASSERT_TRUE(ClickAlertButton(s.rects, "Avbryt"));
        EXPECT_EQ(AlertText(s.rects),
            title + "\nFilen ”nul.txt” är ingen textfil och lades inte till.\n");
        ScreenShot("refusal-told-after-the-question", kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
        EXPECT_EQ(later.Wait(15000), 0);
        EXPECT_EQ(later.Errors(), "");
    }
    EXPECT_EQ(AlertText(s.rects, 1000), "");
    EXPECT_TRUE(first->Running());

    // A lone file opens as a project: with unsaved work that asks first, and the later start
    // learns within moments that its request waits for that answer (not "no answer" a minute
    // later). Answered "Avbryt", the project does not open, and the window says so.
    {
        ForgetAlert(s.rects);
        const auto start = Clock::now();
        Program later({ SaveSample(s.dir + "/hej.vtproj") }, s.Capture("own-question"));
        EXPECT_EQ(AlertText(s.rects),
            "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n");
        EXPECT_EQ(later.Wait(15000), 2);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(later.Errors(),
            "vorantel: Begäran väntar på svar i Vorantel (”Ändringar som inte sparats”) och utförs "
            "sedan. Hur det gick visas i Vorantel.\n");
        ScreenShot("request-waits-for-its-question", kShots);
        ASSERT_TRUE(ClickAlertButton(s.rects, "Avbryt"));
        EXPECT_EQ(AlertText(s.rects),
            title
                + "\nProjektet ”hej.vtproj” öppnades inte, eftersom ändringarna i det öppna "
                  "projektet inte fick lämnas osparade.\n");
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj"));

    EXPECT_TRUE(AskToQuit(s, xid));
    EXPECT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(first->Wait(8000), 0);
}

// A project of ours that is cut off is called damaged, a cut-off old XML project is refused with
// the reader's message, a file of another kind is still a stranger; the open project stays.
TEST(RequestsAndSaves, DamagedAndCutOffProjectsAreRefused)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string good = SaveSample(s.dir + "/skiva.vtproj");
    const std::string bytes = TemporaryFolder::ReadFile(good);
    const std::string xml
        = TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/vtx/cd_project.vtx");
    const std::string cut = s.Write("trasig.vtproj", bytes.substr(0, bytes.size() * 2 / 3));
    const std::string cutXml = s.Write("gammal.vtx", xml.substr(0, 432));
    const std::string foreign = s.Write("text.vtproj", "Skivetikett\n");
    const std::string wholeXml = s.Write("hel.vtx", xml);

    auto first = std::make_unique<Program>(std::vector<std::string> { good });
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    const struct {
        std::string path, message, shot;
    } cases[] = {
        { cut, "Projektfilen är skadad eller ofullständig och kan inte öppnas.", "damaged" },
        { cutXml, "Det gick inte att tolka filen.", "cut-off-xml" },
        { foreign, "Filen är inte ett Vorantel-projekt.", "stranger" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shot);
        ForgetAlert(s.rects);
        Program later({ "-open", c.path }, s.Capture(c.shot));
        const std::string why = "Det gick inte att läsa in projektfilen ”"
            + c.path.substr(s.dir.size() + 1) + "”: " + c.message;
        // Refused before anything is done, at once, and told in the window once.
        EXPECT_EQ(later.Wait(10000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + why + "\n");
        EXPECT_EQ(AlertText(s.rects), "Begäran kunde inte utföras\n" + why + "\n");
        ScreenShot(c.shot, kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
        EXPECT_EQ(Caption(xid), kCaption + " - skiva.vtproj");
    }
    {
        Program later({ "-open", wholeXml }, s.Capture("whole-xml"));
        EXPECT_EQ(later.Wait(10000), 0);
    }
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - hel.vtproj"));
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

namespace {

// A small memory file system mounted on a folder in this process's own mount namespace (its
// children, the program, see it too); unmounted when the test ends.
class SmallDisk {
public:
    explicit SmallDisk(const char* size)
    {
        mounted = ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && ::mount("tmpfs", folder.Path().c_str(), "tmpfs", 0,
                   (std::string("size=") + size).c_str())
                == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(folder.Path().c_str(), MNT_DETACH);
    }
    // Writes a file until the disk has no room left.
    void Fill() const
    {
        FILE* f = std::fopen((folder / "fyllnad").c_str(), "wb");
        const std::string block(65536, 'f');
        while (f && std::fwrite(block.data(), 1, block.size(), f) == block.size()
            && std::fflush(f) == 0) { }
        const std::string byte = "f";
        while (f && std::fwrite(byte.data(), 1, 1, f) == 1 && std::fflush(f) == 0) { }
        if (f)
            std::fclose(f);
    }
    TemporaryFolder folder;
    bool mounted = false;
};

} // namespace

// Saves and exports onto a disk that fills up say the disk is full and that the earlier file is
// kept, and keep it byte for byte with nothing beside it; a save that succeeds removes what a
// killed save of the same file left behind.
TEST(RequestsAndSaves, AFullDiskIsNamedAndLeftoversOfKilledSavesGo)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    SmallDisk disk("4m");
    if (!disk.mounted)
        GTEST_SKIP() << "no mount namespace to be had";
    const std::string project = SaveSample(disk.folder / "skiva.vtproj");
    // What a save killed part-way left beside the file.
    const std::string leftover = disk.folder / ".skiva.vtproj.Ab12Cd";
    TemporaryFolder::WriteFile(leftover, std::string(200000, 'x'));
    const std::string text = s.Write("t.txt", "Skivetikett");

    auto first = std::make_unique<Program>(std::vector<std::string> { project });
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    auto addText = [&] {
        Program later({ "-addtext", text }, s.Capture("addtext"));
        EXPECT_EQ(later.Wait(10000), 0);
        Sleep(300);
    };
    addText();
    KeysTo(xid, "ctrl+s");
    auto end = Clock::now() + std::chrono::seconds(10);
    while (Exists(leftover) && Clock::now() < end)
        Sleep(100);
    EXPECT_EQ(
        TemporaryFolder::List(disk.folder.Path()), (std::vector<std::string> { "skiva.vtproj" }));
    const std::string saved = TemporaryFolder::ReadFile(project);

    // The disk is full: "Spara som..." > "Pdf" through the menu bar (the project is saved, so
    // "Spara" is off and skipped).
    disk.Fill();
    ForgetAlert(s.rects);
    KeysTo(xid, "F10 Right Down Down Down Right Down");
    Keys("Return");
    ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", disk.folder / "skiva.pdf"));
    EXPECT_EQ(AlertText(s.rects, 15000),
        "Spara till PDF\nDisken är full, så ”skiva.pdf” kunde inte sparas.\n");
    ScreenShot("pdf-on-a-full-disk", kShots);
    EXPECT_TRUE(ClickAlertButton(s.rects, "Fortsätt"));

    // A changed project saved onto the full disk.
    addText();
    EXPECT_EQ(KeysForAlert(s.rects, xid, "ctrl+s"),
        "Spara projekt\nDisken är full, så ”skiva.vtproj” kunde inte sparas. Den tidigare filen "
        "finns kvar oförändrad.\n");
    ScreenShot("save-on-a-full-disk", kShots);
    EXPECT_TRUE(ClickAlertButton(s.rects, "Fortsätt"));
    EXPECT_EQ(TemporaryFolder::ReadFile(project), saved);
    EXPECT_EQ(TemporaryFolder::List(disk.folder.Path()),
        (std::vector<std::string> { "fyllnad", "skiva.vtproj" }));

    EXPECT_TRUE(AskToQuit(s, xid));
    EXPECT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(first->Wait(8000), 0);
}

// Run as an ordinary user, the program refuses to replace the user's own write-protected project
// and another user's project, says why, leaves both as they were, and saves elsewhere when asked.
TEST(RequestsAndSaves, FilesTheUserMayNotWriteAreLeftAlone)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    if (::geteuid() != 0)
        GTEST_SKIP() << "the program is run as another user by root only";
    Session s;
    const uid_t nobody = 65534;
    if (!UserMayRunProgram(nobody, nobody))
        GTEST_SKIP() << "the built program lies in a folder another user cannot enter";
    ASSERT_EQ(::chmod(s.dir.c_str(), 0755), 0);
    // The ordinary user's home: settings, data, cache and runtime folders, the window's files.
    const std::string home = s.dir + "/hem";
    for (const char* sub : { "", "/config", "/data", "/cache", "/run" })
        ASSERT_EQ(::mkdir((home + sub).c_str(), 0700), 0);
    s.Set("HOME", home);
    s.Set("XDG_CONFIG_HOME", home + "/config");
    s.Set("XDG_DATA_HOME", home + "/data");
    s.Set("XDG_CACHE_HOME", home + "/cache");
    s.Set("XDG_RUNTIME_DIR", home + "/run");
    const std::string rects = home + "/rectangles.txt";
    s.Set("VT_TEST_RECTANGLES_FILE", rects);
    LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    const std::string own = SaveSample(home + "/egen.vtproj");
    const std::string theirs = SaveSample(home + "/annans.vtproj");
    const std::string text = home + "/t.txt";
    TemporaryFolder::WriteFile(text, "Skivetikett");
    ASSERT_EQ(Shell("chown -R 65534:65534 " + Quote(home) + " && echo ok"), "ok");
    ASSERT_EQ(::chmod(own.c_str(), 0444), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 0, 0), 0);
    const std::string ownBytes = TemporaryFolder::ReadFile(own);
    const std::string theirBytes = TemporaryFolder::ReadFile(theirs);
    ProgramOptions asUser;
    asUser.uid = nobody;
    asUser.gid = nobody;
    auto later = [&](const std::vector<std::string>& args) {
        ProgramOptions o = asUser;
        o.errors = home + "/later.err";
        Program p(args, o);
        EXPECT_EQ(p.Wait(10000), 0) << p.Errors();
        Sleep(300);
    };

    auto first = std::make_unique<Program>(std::vector<std::string> { own }, asUser);
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - egen.vtproj"));
    const std::string elsewhere = " Spara under ett annat namn eller i en annan mapp.";
    const struct {
        std::string path, bytes, message, shot;
    } cases[] = {
        { own, ownBytes, "Filen ”egen.vtproj” är skrivskyddad och har inte ändrats." + elsewhere,
            "write-protected" },
        { theirs, theirBytes,
            "Filen ”annans.vtproj” tillhör en annan användare och har inte ändrats." + elsewhere,
            "another-users" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shot);
        if (c.path != own) {
            later({ "-open", c.path });
            EXPECT_TRUE(WaitCaption(xid, kCaption + " - annans.vtproj"));
        }
        later({ "-addtext", text });
        EXPECT_EQ(
            KeysForAlert(rects, xid, "ctrl+s"), "Spara projekt\n" + c.message + "\n");
        ScreenShot(c.shot, kShots);
        EXPECT_TRUE(ClickAlertButton(rects, "Fortsätt"));
        EXPECT_EQ(TemporaryFolder::ReadFile(c.path), c.bytes);
        struct stat st { };
        ASSERT_EQ(::stat(c.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, c.path == own ? nobody : 0u);
        EXPECT_EQ(st.st_mode & 07777, c.path == own ? 0444u : 0644u);

        // "Spara som..." elsewhere works.
        const std::string copy = home + "/kopia-" + c.shot + ".vtproj";
        Sleep(300);
        KeysTo(xid, "ctrl+shift+s");
        if (!WaitWindowNamed("Spara projekt", 5000))
            KeysTo(xid, "ctrl+shift+s"); // the window had not had the focus back yet
        ASSERT_TRUE(TypeIntoFilePanel("Spara projekt", copy));
        EXPECT_TRUE(WaitCaption(xid, kCaption + " - kopia-" + c.shot + ".vtproj", 15000));
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, nobody);
    }
    for (const std::string& name : TemporaryFolder::List(home))
        EXPECT_NE(name[0], '.') << name;
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

// An autosave in a data folder whose path is longer than 260 bytes is offered at the next start
// and opened whole; being the program's own file, it does not enter the recent-file list.
TEST(RequestsAndSaves, AnAutosaveInADeepDataFolderIsOffered)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    std::string deep = s.dir + "/data";
    while (deep.size() < 420)
        deep += "/en mapp med ett långt namn";
    ASSERT_EQ(Shell("mkdir -p " + Quote(deep + "/vorantel") + " && echo ok"), "ok");
    s.Set("XDG_DATA_HOME", deep);
    const std::string autosave = SaveSample(deep + "/vorantel/skiva_autosave.vtproj");
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());

    ForgetAlert(s.rects);
    auto first = std::make_unique<Program>(std::vector<std::string> {});
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_EQ(AlertText(s.rects),
        "Projektet sparas automatiskt\nDet finns ett automatiskt sparat projekt. Vill du öppna "
        "den?\n");
    ScreenShot("deep-autosave-offered", kShots);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    LStringLongTemplate<char> value;
    _LUserSettingGetString("RecentFileList", "File0", "", value);
    EXPECT_NE(std::string(value.c_str()), autosave);
    _LUserSettingGetString("AutoSave", "FileName", "", value);
    EXPECT_EQ(std::string(value.c_str()), autosave);
    EXPECT_TRUE(AskToQuit(s, xid));
    EXPECT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(first->Wait(8000), 0);
    EXPECT_FALSE(Exists(autosave));
}

// The first start of an installation, then a quit: the program is added to the desktop's
// favourites once and the step is not left pending; later exits add nothing.
TEST(RequestsAndSaves, TheFirstExitAddsTheProgramToTheFavouritesOnce)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    // The desktop's settings: a schema of its favourites, kept in a key file of the test's.
    const std::string schemas = s.dir + "/schemas";
    ASSERT_EQ(::mkdir(schemas.c_str(), 0755), 0);
    TemporaryFolder::WriteFile(schemas + "/org.gnome.shell.gschema.xml",
        "<schemalist><schema id=\"org.gnome.shell\" path=\"/org/gnome/shell/\">"
        "<key name=\"favorite-apps\" type=\"as\"><default>['firefox.desktop']</default></key>"
        "</schema></schemalist>\n");
    int rc = -1;
    Shell("glib-compile-schemas " + Quote(schemas), &rc);
    if (rc != 0)
        GTEST_SKIP() << "no glib-compile-schemas";
    s.Set("GSETTINGS_SCHEMA_DIR", schemas);
    s.Set("GSETTINGS_BACKEND", "keyfile");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (!config)
        GTEST_SKIP() << "runs with a settings folder of its own (own-display.sh)";
    const std::string keyfile = std::string(config) + "/glib-2.0/settings/keyfile";
    ::unlink(keyfile.c_str());
    // A fresh installation.
    LUserSettingDeleteItem("Settings", "InstallDate");
    LUserSettingDeleteItem("Settings", "ContinueInstallAtExit");

    auto favourites = [&] {
        const std::string text = TemporaryFolder::ReadFile(keyfile);
        size_t count = 0;
        for (size_t at = text.find("vorantel.desktop"); at != std::string::npos;
             at = text.find("vorantel.desktop", at + 1))
            ++count;
        return count;
    };
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Program program({});
        unsigned long xid = WaitMainWindow();
        ASSERT_NE(xid, 0u);
        Sleep(500);
        if (run == 0) {
            char value[kLStringShortSize] = "";
            _LUserSettingGetString("Settings", "ContinueInstallAtExit", "", value);
            EXPECT_STREQ(value, "1");
        }
        KeysTo(xid, "ctrl+q");
        EXPECT_EQ(program.Wait(8000), 0);
        EXPECT_EQ(favourites(), 1u) << TemporaryFolder::ReadFile(keyfile);
        EXPECT_NE(TemporaryFolder::ReadFile(keyfile).find("firefox.desktop"), std::string::npos);
        char value[kLStringShortSize] = "";
        _LUserSettingGetString("Settings", "ContinueInstallAtExit", "", value);
        EXPECT_STREQ(value, "0");
    }
}

// A start that cannot reach its display says so on standard error and ends with status 1.
TEST(RequestsAndSaves, AStartThatCannotReachItsDisplaySaysSo)
{
    Session s;
    s.Set("DISPLAY", ":9999");
    Program run({}, s.Capture("no-display"));
    EXPECT_EQ(run.Wait(10000), 1);
    EXPECT_EQ(run.Errors(), "vorantel: Det gick inte att öppna skärmen :9999.\n");
}
