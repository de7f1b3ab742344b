#include "lfw/gen/LFileSave.h"
#include "lfw/gen/LSDF.h"

#include "support/SmallDisk.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int gRenames = 0;

int RenameAcrossVolumes(const char*, const char*)
{
    ++gRenames;
    errno = EXDEV;
    return -1;
}

struct RenameHook {
    RenameHook()
    {
        gRenames = 0;
        _LFileSetRenameHook(RenameAcrossVolumes);
    }
    ~RenameHook() { _LFileSetRenameHook(nullptr); }
};

bool WriteProject(LOutputStreamFile& stream, int items)
{
    LSDFWriter<LOutputStreamFile> writer;
    bool ok = writer.Open(stream, 7, 3);
    for (int i = 0; i < items; ++i)
        ok = writer.WriteString(1, "en rad text i projektet") && ok;
    return writer.Close() && ok;
}

mode_t Mode(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(FileSave, ReplacesTheTargetThroughATemporaryFileBesideIt)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    TemporaryFolder::WriteFile(target, "gammalt innehåll");
    mode_t old = ::umask(022);
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str()));
    // Unnamed while it is written: a save killed now leaves nothing.
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
    std::string temporary = save.GetTemporaryPath();
    EXPECT_EQ(Mode(temporary), 0644u); // the old file's bits
    ::umask(old);
    ASSERT_TRUE(WriteProject(save.GetStream(), 100));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
    EXPECT_EQ(TemporaryFolder::ReadFile(target).substr(0, 4), "lsdf");
    EXPECT_EQ(Mode(target), 0644u);

    // Where the file system has no unnamed files: ".etikett.vtproj.XXXXXX" beside the target,
    // which says which file it was to become.
    _LFileSaveUseUnnamedFiles(false);
    LFileSave named;
    ASSERT_TRUE(named.Begin(target.c_str()));
    temporary = named.GetTemporaryPath();
    const std::string prefix = folder.Path() + "/.etikett.vtproj.";
    EXPECT_EQ(temporary.substr(0, prefix.size()), prefix);
    EXPECT_EQ(temporary.size(), prefix.size() + 6);
    ASSERT_TRUE(WriteProject(named.GetStream(), 100));
    ASSERT_TRUE(named.Commit());
    _LFileSaveUseUnnamedFiles(true);
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

TEST(FileSave, DiscardLeavesTheTargetUntouched)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    TemporaryFolder::WriteFile(target, "gammalt innehåll");
    {
        LFileSave save;
        ASSERT_TRUE(save.Begin(target.c_str()));
        ASSERT_TRUE(WriteProject(save.GetStream(), 10));
        save.Discard();
        EXPECT_FALSE(save.Commit());
    }
    {
        LFileSave abandoned; // destroyed without a commit
        ASSERT_TRUE(abandoned.Begin(target.c_str()));
        ASSERT_TRUE(WriteProject(abandoned.GetStream(), 10));
    }
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "gammalt innehåll");
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

// The disk fills up in the middle of a save (the file-size limit stands in for a full disk).
TEST(FileSave, AFailedWriteLeavesTheTargetByteIdenticalAndNoTemporaryFile)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    std::string original(5000, 'o');
    TemporaryFolder::WriteFile(target, original);
    pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 100000, 100000 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LFileSave save;
        if (!save.Begin(target.c_str()))
            ::_exit(3);
        bool written = WriteProject(save.GetStream(), 20000); // about 700 kB
        bool committed = save.Commit();
        ::_exit(written ? 2 : committed ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), original);
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

TEST(FileSave, AcrossVolumesTheTemporaryFileIsCopiedAndRemoved)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    TemporaryFolder::WriteFile(target, "gammalt");
    RenameHook hook;
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str()));
    ASSERT_TRUE(WriteProject(save.GetStream(), 50));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(gRenames, 1);
    EXPECT_EQ(TemporaryFolder::ReadFile(target).substr(0, 4), "lsdf");
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

TEST(FileSave, AFailedCopyAcrossVolumesLeavesNothingBehind)
{
    TemporaryFolder folder;
    TemporaryFolder elsewhere;
    std::string target = folder / "gone/etikett.vtproj"; // its folder does not exist
    RenameHook hook;
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str(), elsewhere.Path().c_str()));
    ASSERT_TRUE(WriteProject(save.GetStream(), 5));
    EXPECT_FALSE(save.Commit());
    EXPECT_TRUE(TemporaryFolder::List(elsewhere.Path()).empty());
    EXPECT_TRUE(TemporaryFolder::List(folder.Path()).empty());
}

// A real second volume when there is one: the temporary folder on the memory file system.
TEST(FileSave, ARealCrossVolumeMove)
{
    TemporaryFolder folder;
    TemporaryFolder memory("/dev/shm");
    struct stat a {
    }, b {};
    if (!memory.IsValid() || ::stat(folder.Path().c_str(), &a) != 0
        || ::stat(memory.Path().c_str(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second volume";
    std::string target = folder / "etikett.vtlayout";
    TemporaryFolder::WriteFile(target, "gammalt");
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str(), memory.Path().c_str()));
    ASSERT_TRUE(WriteProject(save.GetStream(), 50));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(TemporaryFolder::ReadFile(target).substr(0, 4), "lsdf");
    EXPECT_TRUE(TemporaryFolder::List(memory.Path()).empty());
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtlayout" }));
}

TEST(FileSave, TemporaryFilesAndRefusedPaths)
{
    TemporaryFolder folder;
    char path[kLPathSize];
    int fd = LFileCreateTemporary(path, folder.Path().c_str());
    ASSERT_GE(fd, 0);
    ::close(fd);
    int other = LFileCreateTemporary(path + 0, folder.Path().c_str());
    ASSERT_GE(other, 0);
    ::close(other);
    EXPECT_EQ(TemporaryFolder::List(folder.Path()).size(), 2u);
    EXPECT_EQ(LFileCreateTemporary(path, (folder / "missing").c_str()), -1);
    EXPECT_STREQ(path, "");
    // A folder too long for the name is refused and leaves no file.
    std::string deep = folder.Path();
    while (deep.size() < 255) {
        deep += "/dddddddddddddddddddddddddddddddddddddddddd";
        ::mkdir(deep.c_str(), 0777);
    }
    EXPECT_EQ(LFileCreateTemporary(path, deep.c_str()), -1);
    EXPECT_TRUE(TemporaryFolder::List(deep).empty());
    LFileSave save;
    EXPECT_FALSE(save.Begin((std::string(300, 'x')).c_str()));
    EXPECT_FALSE(save.Begin(""));
}

namespace {

bool SaveText(const std::string& target, const std::string& text)
{
    LFileSave save;
    if (!save.Begin(target.c_str()))
        return false;
    if (!save.GetStream().Write(text.data(), text.size())) {
        save.Discard();
        return false;
    }
    return save.Commit();
}

std::string LinkOf(const std::string& path)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

} // namespace

// A link stays a link: the file it points to is replaced, even through a chain of relative links,
// and a dangling link gets its file.
TEST(FileSave, LinksAreFollowedAndKept)
{
    TemporaryFolder folder;
    ASSERT_EQ(::mkdir((folder / "riktig").c_str(), 0700), 0);
    const std::string real = folder / "riktig/projekt.vtproj";
    TemporaryFolder::WriteFile(real, "gammalt");
    ASSERT_EQ(::symlink("riktig/projekt.vtproj", (folder / "länk").c_str()), 0);
    ASSERT_EQ(::symlink("länk", (folder / "länk2").c_str()), 0);
    ASSERT_TRUE(SaveText(folder / "länk2", "nytt"));
    EXPECT_EQ(TemporaryFolder::ReadFile(real), "nytt");
    EXPECT_EQ(LinkOf(folder / "länk2"), "länk");
    EXPECT_EQ(LinkOf(folder / "länk"), "riktig/projekt.vtproj");
    EXPECT_EQ(
        TemporaryFolder::List(folder / "riktig"), (std::vector<std::string> { "projekt.vtproj" }));

    ASSERT_EQ(::symlink((folder / "riktig/ny.vtproj").c_str(), (folder / "dinglar").c_str()), 0);
    ASSERT_TRUE(SaveText(folder / "dinglar", "skapad"));
    EXPECT_EQ(TemporaryFolder::ReadFile(folder / "riktig/ny.vtproj"), "skapad");
    EXPECT_EQ(LinkOf(folder / "dinglar"), folder / "riktig/ny.vtproj");

    // A loop and a link into a missing folder are refused and leave nothing.
    ASSERT_EQ(::symlink("b", (folder / "a").c_str()), 0);
    ASSERT_EQ(::symlink("a", (folder / "b").c_str()), 0);
    EXPECT_FALSE(SaveText(folder / "a", "x"));
    ASSERT_EQ(::symlink("saknas/fil", (folder / "bort").c_str()), 0);
    EXPECT_FALSE(SaveText(folder / "bort", "x"));
    for (const std::string& name : TemporaryFolder::List(folder.Path()))
        EXPECT_NE(name[0], '.') << name;
}

// The new file has the old one's permission bits and owner; what is no regular file is left
// alone.
TEST(FileSave, KeepsPermissionsAndRefusesWhatIsNoFile)
{
    TemporaryFolder folder;
    const std::string secret = folder / "hemligt.vtproj";
    TemporaryFolder::WriteFile(secret, "gammalt");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    const mode_t old = ::umask(022);
    EXPECT_TRUE(SaveText(secret, "nytt"));
    EXPECT_EQ(Mode(secret), 0600u);
    ASSERT_EQ(::chmod(secret.c_str(), 0664), 0);
    EXPECT_TRUE(SaveText(secret, "igen"));
    EXPECT_EQ(Mode(secret), 0664u);
    EXPECT_TRUE(SaveText(folder / "ny.vtproj", "ny"));
    EXPECT_EQ(Mode(folder / "ny.vtproj"), 0644u); // a new file: 0666 less the umask
    ::umask(old);
    struct stat st { };
    ASSERT_EQ(::stat(secret.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::getuid());

    const std::string fifo = folder / "rör";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(SaveText(fifo, "x"));
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(SaveText(folder.Path(), "x")); // a folder
    EXPECT_FALSE(SaveText("/dev/full", "x")); // a device, also for root
    EXPECT_FALSE(SaveText("/dev/null", "x"));
    ASSERT_EQ(::symlink("/dev/full", (folder / "enhet").c_str()), 0);
    EXPECT_FALSE(SaveText(folder / "enhet", "x"));
    EXPECT_EQ(TemporaryFolder::List(folder.Path()).size(), 4u);
}

// Long paths are never cut: a path near the platform's limit saves, one over it is refused, a
// name too long for a temporary name beside it gets a shortened one.
TEST(FileSave, LongPathsAndFoldersThatVanish)
{
    TemporaryFolder folder;
    std::string deep = folder.Path();
    const std::string part = "/" + std::string(200, 'd');
    while (deep.size() + part.size() < PATH_MAX - 300) {
        deep += part;
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    std::string name;
    for (int i = 0; i < 120; ++i)
        name += "\xC3\xA5"; // 120 Swedish letters, 240 bytes
    const std::string target = deep + "/" + name + ".vtpr";
    ASSERT_GT(target.size(), 3800u);
    ASSERT_TRUE(SaveText(target, "långt"));
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "långt");
    EXPECT_EQ(TemporaryFolder::List(deep), (std::vector<std::string> { name + ".vtpr" }));
    EXPECT_FALSE(SaveText(std::string(PATH_MAX, 'x'), "x"));
    const std::string longest = folder / std::string(255, 'n');
    ASSERT_TRUE(SaveText(longest, "namn"));
    EXPECT_EQ(TemporaryFolder::ReadFile(longest), "namn");

    // The folder is removed while the file is written: the save fails, nothing is left.
    const std::string gone = folder / "försvinner";
    for (bool unnamed : { true, false }) {
        _LFileSaveUseUnnamedFiles(unnamed);
        ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
        LFileSave save;
        ASSERT_TRUE(save.Begin((gone + "/fil.vtproj").c_str()));
        ASSERT_TRUE(save.GetStream().Write("abc", 3));
        if (!unnamed) {
            ASSERT_EQ(::unlink(save.GetTemporaryPath()), 0);
        }
        ASSERT_EQ(::rmdir(gone.c_str()), 0);
        EXPECT_FALSE(save.Commit());
        EXPECT_FALSE(LFile::TestFileExists(gone.c_str()));
    }
    _LFileSaveUseUnnamedFiles(true);
}

namespace {

struct RecordedErrors : LProcessInterfaceVoid {
    void SetError(const char* text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

const std::string kLarge = std::string(3 << 20, 'k') + "slut";

} // namespace

// Saves killed at any moment, named or unnamed while written: the target is always whole, and
// once the next save of the file has succeeded nothing else is left beside it. What is not a
// stale temporary file of ours for that target stays.
TEST(FileSave, KilledSavesLeaveNothingOnceTheNextSaveSucceeded)
{
    for (bool unnamed : { true, false }) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        _LFileSaveUseUnnamedFiles(unnamed);
        TemporaryFolder folder;
        const std::string target = folder / "etikett.vtproj";
        TemporaryFolder::WriteFile(target, "gammalt");
        const std::vector<std::string> decoys = { ".etikett.vtproj.bak", ".etikett.vtproj.abc12",
            ".annat.vtproj.abcdef", "etikett.vtproj.abcdef", ".etikett.vtproj.abc-ef" };
        for (const std::string& name : decoys)
            TemporaryFolder::WriteFile(folder / name, "behålls");

        // Killed in the middle of writing: unnamed, nothing is there at all.
        pid_t child = ::fork();
        if (child == 0) {
            LFileSave save;
            if (save.Begin(target.c_str())) {
                save.GetStream().Write(kLarge.data(), kLarge.size() / 2);
                save.GetStream().Flush();
            }
            ::raise(SIGKILL);
        }
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
        EXPECT_EQ(TemporaryFolder::List(folder.Path()).size(), decoys.size() + (unnamed ? 1 : 2));

        // Killed again and again at all moments of saving over and over.
        for (int kill = 0; kill < 12; ++kill) {
            child = ::fork();
            if (child == 0) {
                for (;;)
                    SaveText(target, kLarge);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1 + kill * 4));
            ::kill(child, SIGKILL);
            ASSERT_EQ(::waitpid(child, nullptr, 0), child);
            const std::string now = TemporaryFolder::ReadFile(target);
            EXPECT_TRUE(now == "gammalt" || now == kLarge) << now.size() << " bytes";
        }

        // A save that runs meanwhile keeps its file.
        _LFileSaveUseUnnamedFiles(false);
        LFileSave running;
        ASSERT_TRUE(running.Begin(target.c_str()));
        const std::string held = running.GetTemporaryPath();
        _LFileSaveUseUnnamedFiles(unnamed);
        std::string foreign;
        if (::geteuid() == 0) {
            // Another user's file of that name is not ours to remove.
            foreign = folder / ".etikett.vtproj.ANNANS";
            TemporaryFolder::WriteFile(foreign, "annans");
            ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        }

        ASSERT_TRUE(SaveText(target, "nytt"));
        EXPECT_EQ(TemporaryFolder::ReadFile(target), "nytt");
        std::vector<std::string> expected = decoys;
        expected.push_back("etikett.vtproj");
        expected.push_back(held.substr(folder.Path().size() + 1));
        if (!foreign.empty())
            expected.push_back(".etikett.vtproj.ANNANS");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(TemporaryFolder::List(folder.Path()), expected);
        ASSERT_TRUE(running.GetStream().Write("sist", 4));
        ASSERT_TRUE(running.Commit());
        EXPECT_EQ(TemporaryFolder::ReadFile(target), "sist");
    }
    _LFileSaveUseUnnamedFiles(true);
}

// Only what the user could write in place is replaced: under an ordinary user's identity, a
// read-only file of one's own, another user's files and a file of a foreign group are refused
// with their reason and left exactly as they were; the user's own writable file is saved.
TEST(FileSave, RefusesWhatTheUserCouldNotWriteInPlace)
{
    if (::geteuid() != 0) {
        TemporaryFolder folder;
        const std::string own = folder / "skrivskyddad.vtproj";
        TemporaryFolder::WriteFile(own, "gammalt");
        ASSERT_EQ(::chmod(own.c_str(), 0444), 0);
        LFileSave save;
        EXPECT_FALSE(save.Begin(own.c_str()));
        EXPECT_EQ(save.GetProblem(), LFileSaveProblem::kWriteProtected);
        EXPECT_EQ(TemporaryFolder::ReadFile(own), "gammalt");
        GTEST_SKIP() << "other users' files need root to be set up";
    }
    TemporaryFolder folder;
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
    struct File {
        std::string name;
        uid_t uid;
        gid_t gid;
        mode_t mode;
        LFileSaveProblem problem;
    };
    const uid_t nobody = 65534;
    const std::vector<File> files = {
        { "skrivskyddad.vtproj", nobody, nobody, 0444, LFileSaveProblem::kWriteProtected },
        { "annans.vtproj", 0, 0, 0666, LFileSaveProblem::kOtherOwner },
        { "annans-läs.vtproj", 0, 0, 0644, LFileSaveProblem::kOtherOwner },
        { "grupp.vtproj", nobody, 0, 0664, LFileSaveProblem::kGroupNotKept },
        { "egen.vtproj", nobody, nobody, 0640, LFileSaveProblem::kNone },
        { "låst/egen.vtproj", nobody, nobody, 0666, LFileSaveProblem::kFolderNotWritable },
    };
    ASSERT_EQ(::mkdir((folder / "låst").c_str(), 0755), 0);
    for (const File& f : files) {
        TemporaryFolder::WriteFile(folder / f.name, "gammalt");
        ASSERT_EQ(::chown((folder / f.name).c_str(), f.uid, f.gid), 0);
        ASSERT_EQ(::chmod((folder / f.name).c_str(), f.mode), 0);
    }
    const auto lines = smalldisk::InChild([&](FILE* report) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            return;
        for (const File& f : files) {
            LFileSave save;
            bool begun = save.Begin((folder / f.name).c_str());
            bool saved = begun && save.GetStream().Write("nytt", 4) && save.Commit();
            std::fprintf(report, "%s|%d|%d|%s\n", f.name.c_str(), saved ? 1 : 0,
                int(save.GetProblem()), save.GetProblemText().c_str());
        }
    });
    ASSERT_EQ(lines.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const File& f = files[i];
        const std::string path = folder / f.name;
        const bool allowed = f.problem == LFileSaveProblem::kNone;
        EXPECT_EQ(lines[i].substr(0, f.name.size() + 5),
            f.name + "|" + (allowed ? "1" : "0") + "|" + std::to_string(int(f.problem)) + "|")
            << lines[i];
        EXPECT_EQ(TemporaryFolder::ReadFile(path), allowed ? "nytt" : "gammalt") << f.name;
        struct stat st { };
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, f.uid) << f.name;
        EXPECT_EQ(st.st_gid, f.gid) << f.name;
        EXPECT_EQ(st.st_mode & 07777, f.mode) << f.name;
    }
    const std::string pleaseElsewhere = " Spara under ett annat namn eller i en annan mapp.";
    EXPECT_EQ(lines[0],
        "skrivskyddad.vtproj|0|1|Filen ”skrivskyddad.vtproj” är skrivskyddad och har inte ändrats."
            + pleaseElsewhere);
    EXPECT_EQ(lines[1],
        "annans.vtproj|0|2|Filen ”annans.vtproj” tillhör en annan användare och har inte ändrats."
            + pleaseElsewhere);
    EXPECT_NE(lines[3].find("grupp"), std::string::npos);
    EXPECT_EQ(TemporaryFolder::List(folder.Path()).size(), files.size());
    EXPECT_EQ(TemporaryFolder::List(folder / "låst"), (std::vector<std::string> { "egen.vtproj" }));
}

// A folder made read-only while its file is written: the file can be neither named nor moved
// there, the failure is told with that reason (also in place of a writer's generic text), and
// the earlier file is kept. Named and unnamed temporary files alike; run as an ordinary user
// (root writes into any folder).
TEST(FileSave, AFolderMadeReadOnlyDuringTheSaveIsNamed)
{
    TemporaryFolder folder;
    const std::string inner = folder / "mapp";
    ASSERT_EQ(::mkdir(inner.c_str(), 0755), 0);
    const uid_t nobody = 65534;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(inner.c_str(), nobody, nobody), 0);
    }
    const std::string target = inner + "/skiva.vtproj";
    const auto lines = smalldisk::InChild([&](FILE* report) {
        if (::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            return;
        for (bool unnamed : { true, false }) {
            _LFileSaveUseUnnamedFiles(unnamed);
            ::chmod(inner.c_str(), 0755);
            TemporaryFolder::WriteFile(target, "gammalt");
            LFileSave save;
            RecordedErrors job;
            LFileSaveProcess process(job, save);
            const bool begun = save.Begin(target.c_str()) && save.GetStream().Write("nytt", 4);
            ::chmod(inner.c_str(), 0555);
            const bool committed = begun && save.Commit();
            if (!committed)
                process.SetError("Det gick inte att flytta filen.");
            std::fprintf(report, "%d|%d|%d|%s|%s|%d\n", begun ? 1 : 0, committed ? 1 : 0,
                int(save.GetProblem()), job.errors.empty() ? "" : job.errors[0].c_str(),
                TemporaryFolder::ReadFile(target).c_str(),
                int(TemporaryFolder::List(inner).size()));
            // Writable again: the next save goes through and leaves nothing beside the file.
            ::chmod(inner.c_str(), 0755);
            LFileSave again;
            const bool saved = again.Begin(target.c_str()) && again.GetStream().Write("igen", 4)
                && again.Commit();
            std::fprintf(report, "%d|%s|%d\n", saved ? 1 : 0,
                TemporaryFolder::ReadFile(target).c_str(),
                int(TemporaryFolder::List(inner).size()));
        }
    });
    ::chmod(inner.c_str(), 0755);
    _LFileSaveUseUnnamedFiles(true);
    const std::string said = "Det går inte att spara ”skiva.vtproj” i den här mappen: mappen är "
                             "skrivskyddad. Spara i en annan mapp.";
    const std::string expected = "1|0|" + std::to_string(int(LFileSaveProblem::kFolderNotWritable))
        + "|" + said + "|gammalt";
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], expected + "|1") << "unnamed";
    // A named temporary file cannot be removed from the read-only folder: the next save does.
    EXPECT_EQ(lines[2], expected + "|2") << "named";
    EXPECT_EQ(lines[1], "1|igen|1");
    EXPECT_EQ(lines[3], "1|igen|1");
}

// A disk that fills up during a save: the failure is told as a full disk, and the earlier file
// is kept byte for byte with nothing beside it.
TEST(FileSave, AFullDiskIsNamedAndTheEarlierFileKept)
{
    TemporaryFolder folder;
    const auto lines = smalldisk::InChild([&](FILE* report) {
        if (!smalldisk::Mount(folder.Path(), "256k")) {
            std::fprintf(report, "skip\n");
            return;
        }
        const std::string target = folder / "skiva.vtproj";
        const std::string original(40000, 'o');
        for (bool unnamed : { true, false }) {
            _LFileSaveUseUnnamedFiles(unnamed);
            TemporaryFolder::WriteFile(target, original);
            LFileSave save;
            RecordedErrors job;
            LFileSaveProcess process(job, save);
            bool begun = save.Begin(target.c_str());
            LProcessResult written = begun
                ? save.GetStream().Write(process, kLarge.data(), kLarge.size())
                : LProcessResultError;
            if (written != LProcessResultSuccess)
                process.SetError("Det gick inte att skriva filen.");
            bool committed = written == LProcessResultSuccess && save.Commit();
            if (!committed)
                save.Discard();
            std::fprintf(report, "%d|%d|%s|%s|%d\n", begun ? 1 : 0, committed ? 1 : 0,
                job.errors.empty() ? "" : job.errors[0].c_str(),
                TemporaryFolder::ReadFile(target) == original ? "kept" : "changed",
                int(TemporaryFolder::List(folder.Path()).size()));
            // A new file that does not fit: no earlier file to speak of.
            LFileSave fresh;
            bool ok = fresh.Begin((folder / "ny.vtproj").c_str())
                && fresh.GetStream().Write(kLarge.data(), kLarge.size()) && fresh.Commit();
            if (!ok)
                fresh.Discard();
            std::fprintf(report, "%d|%s|%d\n", ok ? 1 : 0, fresh.GetProblemText().c_str(),
                int(TemporaryFolder::List(folder.Path()).size()));
        }
    });
    if (lines.size() == 1 && lines[0] == "skip")
        GTEST_SKIP() << "no mount namespace to be had";
    const std::string full = "1|0|Disken är full, så ”skiva.vtproj” kunde inte sparas. Den "
                             "tidigare filen finns kvar oförändrad.|kept|1";
    const std::string fresh = "0|Disken är full, så ”ny.vtproj” kunde inte sparas.|1";
    EXPECT_EQ(lines, (std::vector<std::string> { full, fresh, full, fresh }));
}

// Paths up to the longest the system opens (PATH_MAX - 1 bytes) are saved, although the
// temporary file's whole path beside them would be longer: twice over, named or unnamed, moved
// across volumes, or given up; nothing but the file is left in its folder.
TEST(FileSave, SavesAtTheLongestPathsTheSystemOpens)
{
    TemporaryFolder folder;
    std::string deep = folder.Path();
    const std::string part = "/" + std::string(200, 'd');
    while (deep.size() + part.size() < PATH_MAX - 100) {
        deep += part;
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    for (size_t length : { size_t(PATH_MAX - 9), size_t(PATH_MAX - 5), size_t(PATH_MAX - 1) }) {
        const size_t stem = length - deep.size() - 1 - std::strlen(".vtproj");
        const std::string name = "p" + std::string(stem - 1, 'x') + ".vtproj";
        const std::string target = deep + "/" + name;
        ASSERT_EQ(target.size(), length);
        for (bool unnamed : { true, false }) {
            SCOPED_TRACE(std::to_string(length) + (unnamed ? " unnamed" : " named"));
            _LFileSaveUseUnnamedFiles(unnamed);
            EXPECT_TRUE(SaveText(target, "första"));
            EXPECT_TRUE(SaveText(target, "andra"));
            EXPECT_EQ(TemporaryFolder::ReadFile(target), "andra");
            EXPECT_EQ(TemporaryFolder::List(deep), (std::vector<std::string> { name }));
            {
                RenameHook hook;
                EXPECT_TRUE(SaveText(target, "kopierad"));
                EXPECT_EQ(gRenames, 1);
            }
            EXPECT_EQ(TemporaryFolder::ReadFile(target), "kopierad");
            LFileSave given;
            ASSERT_TRUE(given.Begin(target.c_str()));
            ASSERT_TRUE(given.GetStream().Write("bort", 4) && given.GetStream().Flush());
            // Writers that open the file by name can.
            EXPECT_EQ(TemporaryFolder::ReadFile(given.GetTemporaryPath()), "bort");
            given.Discard();
            EXPECT_EQ(TemporaryFolder::ReadFile(target), "kopierad");
            EXPECT_EQ(TemporaryFolder::List(deep), (std::vector<std::string> { name }));
            ASSERT_EQ(::unlink(target.c_str()), 0);
        }
    }
    _LFileSaveUseUnnamedFiles(true);
}
