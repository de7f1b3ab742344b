// The clipboard against other programs on the display (xclip), and the overlay clipboard.
#include "app/VTClipboardOverlay.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlaySerialise.h"
#include "app/VTOverlayText.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LClipboard.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/UI.h"
#include "support/StoppedClipboardOwner.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A child mode of this program: an owner of the clipboard that never answers.
struct SilentOwnerChild {
    SilentOwnerChild()
    {
        if (!getenv("VT_CLIPBOARD_SILENT_OWNER"))
            return;
        gtk_init(nullptr, nullptr);
        static const GtkTargetEntry entry { const_cast<char*>("image/png"), 0, 0 };
        gtk_clipboard_set_with_data(
            gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), &entry, 1,
            [](GtkClipboard*, GtkSelectionData*, guint, gpointer) { sleep(30); }, nullptr, nullptr);
        std::printf("owned\n");
        std::fflush(stdout);
        g_timeout_add(
            20000, [](gpointer) -> gboolean { _exit(0); }, nullptr);
        gtk_main();
        _exit(0);
    }
} silentOwnerChild;

// A child mode of this program: a clipboard manager that never answers.
struct SilentManagerChild {
    SilentManagerChild()
    {
        if (!getenv("VT_CLIPBOARD_SILENT_MANAGER"))
            return;
        gtk_init(nullptr, nullptr);
        GtkWidget* w = gtk_invisible_new();
        gtk_widget_realize(w);
        if (!gtk_selection_owner_set(
                w, gdk_atom_intern("CLIPBOARD_MANAGER", FALSE), GDK_CURRENT_TIME))
            _exit(1);
        gdk_display_flush(gdk_display_get_default());
        std::printf("managing\n");
        std::fflush(stdout);
        // No loop turns: whatever is asked of it stays unanswered.
        sleep(30);
        _exit(0);
    }
} silentManagerChild;

// Starts this program again in a child mode; answers its pid once it printed its first line.
pid_t StartChildMode(const char* variable)
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return -1;
    self[n] = 0;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        setenv(variable, "1", 1);
        execl(self, self, nullptr);
        _exit(1);
    }
    close(pipeFds[1]);
    char line[32] = {};
    if (pid < 0 || read(pipeFds[0], line, sizeof line) <= 0) {
        close(pipeFds[0]);
        return -1;
    }
    close(pipeFds[0]);
    return pid;
}

// Runs a command while the main loop turns (the command may talk to our clipboard); its output.
std::string RunPumping(const std::string& command)
{
    std::atomic<bool> done { false };
    std::string out;
    std::thread t([&] {
        FILE* p = popen(command.c_str(), "r");
        if (p) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, p)) > 0)
                out.append(buf, n);
            pclose(p);
        }
        done = true;
    });
    for (int i = 0; i < 500 && !done; i++)
        uitest::Pump(20);
    t.join();
    return out;
}

bool HaveXclip()
{
    return system("command -v xclip >/dev/null 2>&1") == 0;
}

// Puts a file under a target with xclip (which stays behind as the owner).
void XclipPut(const std::string& file, const std::string& target)
{
    std::string cmd = "xclip -selection clipboard -t '" + target + "' -i '" + file + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    // Until we heard that we lost the clipboard and the new owner serves these bytes.
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    std::ifstream in(file, std::ios::binary);
    std::string want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uitest::PumpUntil(
        [&] {
            std::vector<uint8_t> got;
            return LUiClipboard::Read(target, got, 500)
                && std::string(got.begin(), got.end()) == want;
        },
        3000);
    // And until the new owner's targets were heard (what the Has... questions answer).
    uitest::PumpUntil(
        [&] {
            std::vector<std::string> known;
            return LUiClipboard::KnownTargets(known)
                && std::find(known.begin(), known.end(), target) != known.end();
        },
        3000);
}

std::string WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!HaveXclip())
            GTEST_SKIP() << "no xclip";
    }
    TemporaryFolder folder;
};

// Blue, green and red of a pixel of a 24- or 32-bit buffer.
const uint8_t* Pixel(const LImageBuffer& image, int x, int y)
{
    int size = image.GetPixelFormat() == LPixelFormatB8G8R8A8 ? 4 : 3;
    return image.GetPictureRow(y) + x * size;
}

bool SamePixels(const LImageBuffer& a, const LImageBuffer& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    for (auto* i : { &a, &b })
        if (i->GetPixelFormat() != LPixelFormatB8G8R8A8
            && i->GetPixelFormat() != LPixelFormatB8G8R8)
            return false;
    for (int y = 0; y < a.GetHeight(); y++)
        for (int x = 0; x < a.GetWidth(); x++)
            if (std::memcmp(Pixel(a, x, y), Pixel(b, x, y), 3) != 0)
                return false;
    return true;
}

} // namespace

TEST_F(ClipboardTest, TextReachesOtherProgramsWithoutNul)
{
    LClipboard clipboard(nullptr);
    clipboard.CopyText("åäö");
    std::string out = RunPumping("xclip -o -selection clipboard -t UTF8_STRING");
    EXPECT_EQ(out.size(), 6u);
    EXPECT_EQ(out, "åäö");
    // Latin-1 for STRING.
    EXPECT_EQ(RunPumping("xclip -o -selection clipboard -t STRING"), "\xe5\xe4\xf6");

    LClipboard empty(nullptr);
    empty.CopyText("");
    EXPECT_EQ(RunPumping("xclip -o -selection clipboard -t UTF8_STRING"), "");
    EXPECT_TRUE(empty.HasText());
}

TEST_F(ClipboardTest, TextOfOtherProgramsPastesUpToItsFirstNul)
{
    XclipPut(WriteFile(folder.Path() + "/t.txt", "Skivetikett åäö"), "UTF8_STRING");
    LClipboard clipboard(nullptr);
    EXPECT_TRUE(clipboard.HasText());
    EXPECT_FALSE(clipboard.HasImage());
    LStringLongTemplate<char> text;
    ASSERT_TRUE(clipboard.PasteText(text));
    EXPECT_STREQ(text.GetString(), "Skivetikett åäö");

    XclipPut(WriteFile(folder.Path() + "/n.txt", std::string("före\0efter", 11)), "UTF8_STRING");
    ASSERT_TRUE(clipboard.PasteText(text));
    EXPECT_STREQ(text.GetString(), "före");
    EXPECT_EQ(text.GetLength(), 5u);
}

TEST_F(ClipboardTest, PngOfAnotherProgramPastesPixelEqual)
{
    std::string png = folder.Path() + "/p.png";
    ASSERT_EQ(
        system(("/usr/bin/convert -size 37x23 gradient:red-blue -depth 8 'PNG24:" + png + "'").c_str()), 0);
    XclipPut(png, "image/png");
    LClipboard clipboard(nullptr);
    EXPECT_TRUE(clipboard.HasImage());
    LImageBuffer pasted, expected;
    ASSERT_TRUE(clipboard.PasteImage(pasted));
    ASSERT_GT(LImage::Load(expected, png.c_str(), 1000), 0u);
    EXPECT_TRUE(SamePixels(pasted, expected));

    // Garbage under image/png: no image, no crash.
    XclipPut(WriteFile(folder.Path() + "/g.png", "\x89PNG\r\n\x1a\n garbage"), "image/png");
    LImageBuffer bad;
    EXPECT_FALSE(clipboard.PasteImage(bad));
}

TEST_F(ClipboardTest, HugeImageIsRefusedByTheCodec)
{
    // A 30,000 x 30,000 PNG (a header and four rows): refused, not allocated.
    std::string png = std::string(VT_TEST_DATA) + "/clipboard/huge-30000.png";
    XclipPut(png, "image/png");
    LClipboard clipboard(nullptr);
    LImageBuffer image;
    EXPECT_FALSE(clipboard.PasteImage(image));
}

TEST_F(ClipboardTest, TiffIsPreferredOverBmp)
{
    LImageBuffer red, blue;
    std::string r = folder.Path() + "/r.bmp", b = folder.Path() + "/b.tif";
    ASSERT_EQ(system(("/usr/bin/convert -size 4x4 xc:red 'BMP3:" + r + "'").c_str()), 0);
    ASSERT_EQ(system(("/usr/bin/convert -size 4x4 xc:blue -depth 8 '" + b + "'").c_str()), 0);
    std::ifstream fr(r, std::ios::binary), fb(b, std::ios::binary);
    std::stringstream sr, sb;
    sr << fr.rdbuf();
    sb << fb.rdbuf();
    std::string bmp = sr.str(), tiff = sb.str();
    ASSERT_TRUE(LUiClipboard::Clear());
    LUiClipboard::Put("image/bmp", reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size());
    LUiClipboard::Put("image/tiff", reinterpret_cast<const uint8_t*>(tiff.data()), tiff.size());
    LClipboard clipboard(nullptr);
    LImageBuffer image;
    ASSERT_TRUE(clipboard.PasteImage(image));
    const uint8_t* p = Pixel(image, 0, 0);
    EXPECT_GT(p[0], 200); // blue (B8G8R8A8)
    EXPECT_LT(p[2], 50);
}

TEST_F(ClipboardTest, TextAndImageShareOneSelectionAndImagesEncodeWhenAsked)
{
    LImageBuffer image;
    std::string png = folder.Path() + "/c.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 8x6 xc:'#336699' -depth 8 'PNG24:" + png + "'").c_str()), 0);
    ASSERT_GT(LImage::Load(image, png.c_str(), 1000), 0u);
    unsigned before = LUiClipboard::RenderCount();
    {
        LClipboard clipboard(nullptr);
        clipboard.CopyText("etikett");
        clipboard.CopyImage(image);
    }
    std::string targets = RunPumping("xclip -o -selection clipboard -t TARGETS");
    EXPECT_NE(targets.find("UTF8_STRING"), std::string::npos) << targets;
    EXPECT_NE(targets.find("image/png"), std::string::npos) << targets;
    EXPECT_NE(targets.find("image/bmp"), std::string::npos) << targets;
    EXPECT_EQ(LUiClipboard::RenderCount(), before) << "nothing encoded before it is read";

    std::string got = RunPumping(
        "xclip -o -selection clipboard -t image/png > '" + folder.Path() + "/out.png'; echo done");
    EXPECT_EQ(got, "done\n");
    EXPECT_EQ(LUiClipboard::RenderCount(), before + 1);
    LImageBuffer back;
    ASSERT_GT(LImage::Load(back, (folder.Path() + "/out.png").c_str(), 1000), 0u);
    EXPECT_TRUE(SamePixels(back, image));
    // Read again: from the cache.
    RunPumping("xclip -o -selection clipboard -t image/png > /dev/null");
    EXPECT_EQ(LUiClipboard::RenderCount(), before + 1);
    EXPECT_EQ(RunPumping("xclip -o -selection clipboard -t UTF8_STRING"), "etikett");
}

TEST_F(ClipboardTest, CustomFormatsKeepLongNamesWhole)
{
    std::string name = "application/x-vorantel-" + std::string(300, 'n');
    const unsigned char bytes[] = { 0, 1, 2, 0, 255 };
    LClipboard clipboard(nullptr);
    EXPECT_FALSE(clipboard.CopyCustomFormat(bytes, sizeof bytes, nullptr));
    ASSERT_TRUE(clipboard.CopyCustomFormat(bytes, sizeof bytes, name.c_str()));
    EXPECT_TRUE(clipboard.HasCustomFormat(name.c_str()));
    EXPECT_FALSE(clipboard.HasCustomFormat(name.substr(0, 259).c_str()));
    LSizedArray<unsigned char> out;
    ASSERT_TRUE(clipboard.PasteCustomFormat(out, name.c_str()));
    ASSERT_EQ(out.GetSize(), sizeof bytes);
    EXPECT_EQ(std::memcmp(out.GetData(), bytes, sizeof bytes), 0);
    std::string seen = RunPumping("xclip -o -selection clipboard -t '" + name + "' | od -An -tu1");
    EXPECT_NE(seen.find("0   1   2   0 255"), std::string::npos) << seen;
}

TEST_F(ClipboardTest, OwnerThatNeverAnswersTimesOut)
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        setenv("VT_CLIPBOARD_SILENT_OWNER", "1", 1);
        execl(self, self, nullptr);
        _exit(1);
    }
    close(pipeFds[1]);
    char line[32] = {};
    ASSERT_GT(read(pipeFds[0], line, sizeof line), 0);
    close(pipeFds[0]);
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    ASSERT_TRUE(uitest::PumpUntil([] { return LUiClipboard::Has("image/png", 500); }, 3000));
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(LUiClipboard::Read("image/png", bytes, 300));
    // A window closed while its paste waits.
    auto* window = new LMacWindow;
    window->CreateCocoaWindow(120, 80, kLUiWindowTitled, false, nullptr);
    ASSERT_TRUE(uitest::ShowAndWait(window->GetNativeWindow()));
    g_timeout_add(
        50,
        [](gpointer w) -> gboolean {
            static_cast<LMacWindow*>(w)->Close();
            return G_SOURCE_REMOVE;
        },
        window);
    {
        LClipboard waiting(window->GetContentView());
        LImageBuffer image;
        EXPECT_FALSE(waiting.PasteImage(image));
    }
    EXPECT_EQ(window->GetContentView(), nullptr);
    delete window;
    // Still usable afterwards.
    LClipboard clipboard(nullptr);
    clipboard.CopyText("efter");
    LStringLongTemplate<char> text;
    EXPECT_TRUE(clipboard.PasteText(text));
    EXPECT_STREQ(text.GetString(), "efter");
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// What the clipboard offers is heard, not asked for: the questions for enabling answer from it
// at once, whoever owns the clipboard, and the watchers hear of every change.
TEST_F(ClipboardTest, OffersAreHeardFromOwnerChangesWithoutWaiting)
{
    int heard = 0;
    uintptr_t token = LClipboard::AddChangeWatcher([&] { ++heard; });
    ASSERT_NE(token, 0u);
    XclipPut(WriteFile(folder.Path() + "/t.txt", "hörd"), "UTF8_STRING");
    EXPECT_GT(heard, 0);
    LClipboard clipboard(nullptr);
    EXPECT_TRUE(clipboard.HasText());
    EXPECT_FALSE(clipboard.HasImage());
    EXPECT_FALSE(clipboard.HasCustomFormat(kVTClipboardOverlayType));

    // Our own copy: known at once, from what we offer.
    heard = 0;
    const unsigned char bytes[] = { 1, 2, 3 };
    LClipboard own(nullptr);
    ASSERT_TRUE(own.CopyCustomFormat(bytes, sizeof bytes, kVTClipboardOverlayType));
    EXPECT_GT(heard, 0);
    EXPECT_TRUE(clipboard.HasCustomFormat(kVTClipboardOverlayType));
    EXPECT_FALSE(clipboard.HasText());

    // Another program takes it: heard once its answer came.
    heard = 0;
    std::string png = folder.Path() + "/p.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 3x3 xc:red 'PNG24:" + png + "'").c_str()), 0);
    XclipPut(png, "image/png");
    EXPECT_GT(heard, 0);
    EXPECT_TRUE(clipboard.HasImage());
    EXPECT_FALSE(clipboard.HasCustomFormat(kVTClipboardOverlayType));
    LClipboard::RemoveChangeWatcher(token);
    heard = 0;
    XclipPut(WriteFile(folder.Path() + "/u.txt", "x"), "UTF8_STRING");
    EXPECT_EQ(heard, 0);
}

TEST_F(ClipboardTest, AnOwnerThatIsStoppedHoldsNothingButAPasteForItsTimeLimit)
{
    StoppedClipboardOwner owner("stoppad");
    ASSERT_TRUE(owner.Owning());
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    uitest::Pump(100);
    // The questions for enabling: no answer is known, none is waited for.
    LClipboard clipboard(nullptr);
    long long start = LRunLoop::NowMs();
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(clipboard.HasText());
        EXPECT_FALSE(clipboard.HasImage());
        EXPECT_FALSE(clipboard.HasCustomFormat(kVTClipboardOverlayType));
    }
    EXPECT_LT(LRunLoop::NowMs() - start, 500);
    std::vector<std::string> known;
    EXPECT_FALSE(LUiClipboard::KnownTargets(known));

    // A paste waits at most its time limit, in a wait that counts as modal, and says it gave up;
    // the same operation's next paste gives up at once.
    bool modalInside = false;
    g_timeout_add(
        100,
        [](gpointer p) -> gboolean {
            *static_cast<bool*>(p) = LModalLoop::Depth() == 1 && LModalLoop::Busy();
            return G_SOURCE_REMOVE;
        },
        &modalInside);
    LStringLongTemplate<char> text;
    start = LRunLoop::NowMs();
    EXPECT_FALSE(clipboard.PasteText(text));
    long long waited = LRunLoop::NowMs() - start;
    EXPECT_GE(waited, LClipboard::kPasteTimeoutMs - 100);
    EXPECT_LT(waited, LClipboard::kPasteTimeoutMs + 2000);
    EXPECT_TRUE(modalInside);
    EXPECT_TRUE(clipboard.PasteGaveUp());
    EXPECT_TRUE(LClipboard::LastPasteGaveUp());
    LImageBuffer image;
    start = LRunLoop::NowMs();
    EXPECT_FALSE(clipboard.PasteImage(image));
    EXPECT_LT(LRunLoop::NowMs() - start, 100);
    EXPECT_EQ(LModalLoop::Depth(), 0);

    // A new operation of our own: all is well again.
    LClipboard copy(nullptr);
    EXPECT_FALSE(LClipboard::LastPasteGaveUp());
    copy.CopyText("egen");
    EXPECT_TRUE(copy.HasText());
    ASSERT_TRUE(copy.PasteText(text));
    EXPECT_STREQ(text.GetString(), "egen");
    EXPECT_FALSE(copy.PasteGaveUp());
}

// Storing at exit: nothing to do without a clipboard manager (nothing rendered either); a
// manager that never answers is given up on after the bound, not GTK's ten seconds.
TEST_F(ClipboardTest, StoringAtExitNeverHoldsQuitting)
{
    LImageFormat format;
    format.width = 2000;
    format.height = 1500;
    format.pixelFormat = LPixelFormatB8G8R8A8;
    format.stride = uint64_t(format.width) * 4;
    LImageBuffer image(format);
    ASSERT_TRUE(image.IsValid());
    for (int y = 0; y < image.GetHeight(); ++y)
        std::memset(image.GetRow(y), y & 0xFF, size_t(image.GetWidth()) * 4);
    LClipboard clipboard(nullptr);
    clipboard.CopyImage(image);
    ASSERT_TRUE(LUiClipboard::Owned());
    unsigned before = LUiClipboard::RenderCount();
    long long start = LRunLoop::NowMs();
    LUiClipboard::Store();
    EXPECT_LT(LRunLoop::NowMs() - start, 200);
    EXPECT_EQ(LUiClipboard::RenderCount(), before);

    pid_t manager = StartChildMode("VT_CLIPBOARD_SILENT_MANAGER");
    ASSERT_GT(manager, 0);
    start = LRunLoop::NowMs();
    LUiClipboard::Store(500);
    long long took = LRunLoop::NowMs() - start;
    EXPECT_GE(took, 400);
    EXPECT_LT(took, 3000);
    kill(manager, SIGKILL);
    waitpid(manager, nullptr, 0);
    // Still ours and usable.
    EXPECT_TRUE(LUiClipboard::Owned());
    EXPECT_TRUE(clipboard.HasImage());
}

// ------------------------------------------------------------------------------------------------
// Overlays

namespace {

VTOverlayText* MakeText(const char* text)
{
    auto* o = new VTOverlayText;
    o->SetText(text);
    return o;
}

std::vector<uint8_t> ClipboardBytes(const char* type)
{
    std::vector<uint8_t> bytes;
    LUiClipboard::Read(type, bytes);
    return bytes;
}

// An SDF stream of type 9 with the given version whose root holds the chunks given.
template <class Fill> std::vector<uint8_t> MakeStream(uint16_t version, Fill fill)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    writer.Open(stream, 9, version);
    fill(writer);
    writer.Close();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

TEST_F(ClipboardTest, TextOverlayCopiesAndPastesBack)
{
    std::unique_ptr<VTOverlayText> text(MakeText("Skiva 1"));
    VTClipboardOverlayCopy copy(nullptr, text.get());
    ASSERT_TRUE(copy.PerformCopy());
    EXPECT_EQ(RunPumping("xclip -o -selection clipboard -t UTF8_STRING"), "Skiva 1");
    std::vector<uint8_t> own = ClipboardBytes(kVTClipboardOverlayType);
    ASSERT_GT(own.size(), 12u);
    // The SDF header: file type 9, version 3.
    LInputStreamBuffer in(own.data(), own.size());
    LSDFReader<LInputStreamBuffer> reader;
    ASSERT_TRUE(reader.Open(in, 9));
    EXPECT_EQ(reader.GetFileVersion(), 3);

    LClipboard clipboard(nullptr);
    VTClipboardOverlayPaste paste(&clipboard);
    ASSERT_TRUE(paste.PerformPaste());
    ASSERT_NE(paste.pastedOverlay, nullptr);
    EXPECT_EQ(paste.pastedOverlay->GetType(), VTOverlayTypeText);
    EXPECT_STREQ(static_cast<VTOverlayText*>(paste.pastedOverlay)->GetText(), "Skiva 1");
    // Copied again, the pasted overlay writes the same chunks.
    VTClipboardOverlayCopy again(nullptr, paste.pastedOverlay);
    ASSERT_TRUE(again.PerformCopy());
    EXPECT_EQ(ClipboardBytes(kVTClipboardOverlayType), own);
}

TEST_F(ClipboardTest, OverlayStreamsOfOtherVersionsAndKinds)
{
    std::unique_ptr<VTOverlayText> text(MakeText("x"));
    // Version 4: false, and the text beside it is not tried.
    auto v4 = MakeStream(4, [&](auto& w) {
        w.StartContainer(2);
        LProcessInterfaceVoid job;
        VTSerialiseOverlayToSDF(job, w, *text);
        w.EndContainer(2);
    });
    LClipboard put(nullptr);
    put.CopyText("text");
    put.CopyCustomFormat(v4.data(), v4.size(), kVTClipboardOverlayType);
    LClipboard clipboard(nullptr);
    {
        VTClipboardOverlayPaste paste(&clipboard);
        EXPECT_FALSE(paste.PerformPaste());
        EXPECT_TRUE(paste.pastedText.IsEmpty());
    }
    // Chunk 5, then an image overlay (3): the image overlay.
    VTOverlayImage image;
    auto mixed = MakeStream(3, [&](auto& w) {
        w.StartContainer(5);
        w.EndContainer(5);
        w.StartContainer(3);
        LProcessInterfaceVoid job;
        VTSerialiseOverlayToSDF(job, w, image);
        w.EndContainer(3);
    });
    LClipboard put2(nullptr);
    put2.CopyCustomFormat(mixed.data(), mixed.size(), kVTClipboardOverlayType);
    {
        VTClipboardOverlayPaste paste(&clipboard);
        EXPECT_TRUE(paste.PerformPaste());
        ASSERT_NE(paste.pastedOverlay, nullptr);
        EXPECT_EQ(paste.pastedOverlay->GetType(), VTOverlayTypeImage);
    }
    // Empty and truncated data.
    LClipboard put3(nullptr);
    put3.CopyCustomFormat(mixed.data(), 0, kVTClipboardOverlayType);
    {
        VTClipboardOverlayPaste paste(&clipboard);
        EXPECT_FALSE(paste.PerformPaste());
    }
    for (size_t cut : { size_t(5), size_t(14), size_t(30), mixed.size() / 2 }) {
        VTOverlay* overlay = nullptr;
        bool ok = VTClipboardOverlayRead(mixed.data(), cut, overlay);
        EXPECT_EQ(overlay, nullptr) << cut;
        (void)ok;
        delete overlay;
    }
}

TEST_F(ClipboardTest, ImageBeatsTextFromOtherProgramsAndFailedCopiesKeepTheClipboard)
{
    std::string png = folder.Path() + "/i.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 5x5 xc:green -depth 8 'PNG24:" + png + "'").c_str()), 0);
    XclipPut(png, "image/png");
    LClipboard clipboard(nullptr);
    {
        VTClipboardOverlayPaste paste(&clipboard);
        ASSERT_TRUE(paste.PerformPaste());
        EXPECT_EQ(paste.pastedOverlay, nullptr);
        EXPECT_TRUE(paste.pastedImage.IsValid());
        EXPECT_EQ(paste.pastedImage.GetWidth(), 5);
    }
    // An overlay kind the stream cannot hold: nothing written, the image stays.
    struct Odd : VTOverlayText {
        int GetType() const override { return 7; }
    } odd;
    VTClipboardOverlayCopy copy(nullptr, &odd);
    EXPECT_FALSE(copy.PerformCopy());
    EXPECT_TRUE(clipboard.HasImage());
}

// ------------------------------------------------------------------------------------------------
// Encodings made off the window's thread

namespace {

// A noisy picture (its encodings take a while).
void NoisyPicture(LImageBuffer& image, int width, int height)
{
    LImageFormat format;
    format.width = width;
    format.height = height;
    format.pixelFormat = LPixelFormatB8G8R8A8;
    format.stride = uint64_t(width) * 4;
    image = LImageBuffer(format);
    uint32_t v = 12345;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.GetRow(y);
        for (int x = 0; x < width * 4; ++x) {
            v = v * 1103515245u + 12345u;
            row[x] = (x & 3) == 3 ? 255 : uint8_t(v >> 24);
        }
    }
}

} // namespace

// Another program's request for an encoding not made yet is held while a worker makes it: the
// main loop turns on meanwhile, and the request gets the picture.
TEST_F(ClipboardTest, RequestsWaitForTheWorkerWhileTheLoopTurns)
{
    LImageBuffer image;
    NoisyPicture(image, 2400, 1600);
    LClipboard clipboard(nullptr);
    clipboard.CopyImage(image);
    ASSERT_TRUE(LUiClipboard::Owned());
    const unsigned before = LUiClipboard::RenderCount();
    const std::string out = folder.Path() + "/out.png";
    std::atomic<bool> done { false };
    std::thread reader([&] {
        std::system(
            ("timeout 60 xclip -o -selection clipboard -t image/png > '" + out + "'").c_str());
        done = true;
    });
    bool held = false;
    EXPECT_TRUE(uitest::PumpUntil(
        [&] {
            held = held || LUiClipboard::HeldRequestCount() > 0;
            return done.load();
        },
        70000));
    reader.join();
    EXPECT_TRUE(held) << "the request was answered on the window's thread";
    EXPECT_EQ(LUiClipboard::RenderCount(), before + 1);
    EXPECT_EQ(LUiClipboard::HeldRequestCount(), 0u);
    LImageBuffer back;
    ASSERT_GT(LImage::Load(back, out.c_str(), 1000), 0u);
    EXPECT_TRUE(SamePixels(back, image));
}

// A request held for an encoding is refused once another program takes the clipboard: the
// requester is not left waiting for data that is no longer offered.
TEST_F(ClipboardTest, AHeldRequestIsRefusedWhenAnotherProgramTakesTheClipboard)
{
    LImageBuffer image;
    NoisyPicture(image, 2400, 1600);
    {
        LClipboard clipboard(nullptr);
        clipboard.CopyImage(image);
    }
    const std::string out = folder.Path() + "/jp2";
    std::atomic<bool> done { false };
    std::thread reader([&] {
        std::system(
            ("timeout 60 xclip -o -selection clipboard -t image/jp2 > '" + out + "' 2>/dev/null")
                .c_str());
        done = true;
    });
    uitest::PumpUntil([] { return LUiClipboard::HeldRequestCount() > 0; }, 5000);
    ASSERT_EQ(LUiClipboard::HeldRequestCount(), 1u);
    XclipPut(WriteFile(folder.Path() + "/t.txt", "annan"), "UTF8_STRING");
    EXPECT_TRUE(uitest::PumpUntil([&] { return done.load(); }, 3000))
        << "the requester still waits";
    reader.join();
    EXPECT_EQ(LUiClipboard::HeldRequestCount(), 0u);
    std::ifstream in(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
}

// A picture overlay copied before its PNG bytes were made: the copy takes no time on the
// window's thread, a paste here takes the overlay itself (the same pixels), and another program
// gets the overlay's stream, made by the worker.
TEST_F(ClipboardTest, APictureCopiedBeforeItsBytesWereMadePastesAndServesItsOverlay)
{
    VTOverlayImage overlay;
    LImageBuffer image;
    NoisyPicture(image, 1500, 1000);
    overlay.SetImage(image);
    ASSERT_EQ(overlay.GetImage().GetEncodedPNG(), nullptr);
    VTClipboardOverlayCopy copy(nullptr, &overlay);
    ASSERT_TRUE(copy.PerformCopy());
    EXPECT_EQ(overlay.GetImage().GetEncodedPNG(), nullptr) << "encoded during the copy";
    LClipboard clipboard(nullptr);
    {
        VTClipboardOverlayPaste paste(&clipboard);
        ASSERT_TRUE(paste.PerformPaste());
        ASSERT_NE(paste.pastedOverlay, nullptr);
        ASSERT_EQ(paste.pastedOverlay->GetType(), VTOverlayTypeImage);
        EXPECT_EQ(
            static_cast<VTOverlayImage*>(paste.pastedOverlay)->image.get(), overlay.image.get());
    }
    const std::string stream = folder.Path() + "/overlay.sdf";
    RunPumping("timeout 60 xclip -o -selection clipboard -t '"
        + std::string(kVTClipboardOverlayType) + "' > '" + stream + "'");
    std::ifstream in(stream, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    VTOverlay* read = nullptr;
    ASSERT_TRUE(VTClipboardOverlayRead(
        reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), read));
    std::unique_ptr<VTOverlay> owned(read);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->GetType(), VTOverlayTypeImage);
    EXPECT_TRUE(SamePixels(static_cast<VTOverlayImage*>(read)->GetImage(), image));
}
