// Files another program only promises during a drag (X direct save): a child of this test is
// that program; it proposes a name, writes the file slowly into the folder we name (holding a
// lock while it writes) and answers S, or answers E. The drops are made with the real pointer.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LDragDrop.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/ForeignDragSource.h"
#include "support/PanelTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;
const char kPart[] = "0123456789abcdef";

GdkAtom DirectSave()
{
    return gdk_atom_intern_static_string("XdndDirectSave0");
}

struct SlowWrite {
    int fd;
    int steps;
};

// The source's half: the drop named a file in our property; we write it in three steps a second
// apart, locked until the last.
void GiveAnswer(GtkWidget*, GdkDragContext* context, GtkSelectionData* data, guint, guint)
{
    GdkWindow* source = gdk_drag_context_get_source_window(context);
    GdkAtom type = GDK_NONE;
    gint format = 0, length = 0;
    guchar* bytes = nullptr;
    std::string uri;
    if (gdk_property_get(source, DirectSave(), gdk_atom_intern_static_string("text/plain"), 0, 4096,
            FALSE, &type, &format, &length, &bytes)
        && bytes)
        uri.assign(reinterpret_cast<char*>(bytes), size_t(length));
    g_free(bytes);
    const char* answer = getenv("VT_XDS_ANSWER");
    gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    std::printf("uri %s\n", uri.c_str());
    std::fflush(stdout);
    if (answer && *answer != 'S') {
        gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
            reinterpret_cast<const guchar*>(answer), 1);
        g_free(path);
        return;
    }
    int fd = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    g_free(path);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) {
        gtk_selection_data_set(
            data, gtk_selection_data_get_target(data), 8, reinterpret_cast<const guchar*>("E"), 1);
        return;
    }
    gtk_selection_data_set(
        data, gtk_selection_data_get_target(data), 8, reinterpret_cast<const guchar*>("S"), 1);
    if (write(fd, kPart, 16) != 16)
        _exit(3);
    g_timeout_add(
        1000,
        [](gpointer p) -> gboolean {
            auto* w = static_cast<SlowWrite*>(p);
            if (write(w->fd, kPart, 16) != 16)
                _exit(3);
            if (++w->steps < 2)
                return G_SOURCE_CONTINUE;
            flock(w->fd, LOCK_UN);
            close(w->fd);
            delete w;
            return G_SOURCE_REMOVE;
        },
        new SlowWrite { fd, 0 });
}

// A child mode of this program: a window of another program that promises one file.
struct DirectSaveSourceChild {
    DirectSaveSourceChild()
    {
        if (!getenv("VT_XDS_SOURCE"))
            return;
        gtk_init(nullptr, nullptr);
        GtkWidget* box = uitest::ForeignDragSourceWindow(30000);
        static const GtkTargetEntry entry { const_cast<char*>("XdndDirectSave0"), 0, 0 };
        gtk_drag_source_set(box, GDK_BUTTON1_MASK, &entry, 1, GDK_ACTION_COPY);
        g_signal_connect(box, "drag-begin",
            G_CALLBACK(+[](GtkWidget*, GdkDragContext* context, gpointer) {
                const char* name = getenv("VT_XDS_NAME");
                gdk_property_change(gdk_drag_context_get_source_window(context), DirectSave(),
                    gdk_atom_intern_static_string("text/plain"), 8, GDK_PROP_MODE_REPLACE,
                    reinterpret_cast<const guchar*>(name), gint(std::strlen(name)));
            }),
            nullptr);
        g_signal_connect(box, "drag-data-get", G_CALLBACK(GiveAnswer), nullptr);
        gtk_main();
        _exit(0);
    }
} directSaveSourceChild;

// Answers every alert whose headline or message holds a key with the key's button label, and
// keeps what each alert said.
struct AlertAnswers {
    std::map<std::string, std::string> labels;
    std::vector<std::string> seen;
    GtkWidget* last = nullptr;
    guint source = 0;

    using Labels = std::map<std::string, std::string>;
    explicit AlertAnswers(Labels l)
        : labels(std::move(l))
    {
        source = g_timeout_add(50, Poll, this);
    }
    ~AlertAnswers() { g_source_remove(source); }
    AlertAnswers(const AlertAnswers&) = delete;
    AlertAnswers& operator=(const AlertAnswers&) = delete;

    static gboolean Poll(gpointer p)
    {
        auto* self = static_cast<AlertAnswers*>(p);
        auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
        if (!alert || !gtk_widget_get_mapped(alert) || alert == self->last)
            return G_SOURCE_CONTINUE;
        gchar* text = nullptr;
        g_object_get(alert, "text", &text, nullptr);
        std::string all = std::string(text ? text : "") + "|" + LUiAlertMessage(alert);
        g_free(text);
        for (auto& [key, label] : self->labels) {
            if (all.find(key) == std::string::npos)
                continue;
            if (GtkWidget* b = uitest::FindButton(alert, label)) {
                self->seen.push_back(all);
                self->last = alert;
                gtk_button_clicked(GTK_BUTTON(b));
            }
            break;
        }
        return G_SOURCE_CONTINUE;
    }
};

struct PromisedDrops : LDragDropHandler {
    std::vector<std::string> paths, again;
    int drops = 0;
    void EvDropFiles(LDroppedFileData& data) override
    {
        LDroppedFilesIterator it(data, false);
        if (it.GetCount() > 0)
            do
                paths.push_back(it.GetPath());
            while (it.Next());
        // The same drop asked again: no question, the same files.
        LDroppedFilesIterator second(data, false);
        if (second.GetCount() > 0)
            do
                again.push_back(second.GetPath());
            while (second.Next());
        drops++;
    }
};

// A drop target that takes file lists: promised files reach it as one.
struct FileTarget : LDropTarget {
    explicit FileTarget(LWindow* w)
        : LDropTarget(w, int(kLDragFormatFileList))
    {
    }
    int entered = 0;
    std::vector<std::string> paths;
    bool AcceptsDropFormat(int format) override { return format == int(kLDragFormatFileList); }
    void EvDragEntered(const LPoint&) override { entered++; }
    void EvDrop(int, LDropData*& data, const LPoint&) override
    {
        if (auto* list = dynamic_cast<LDropDataFilePathList*>(data))
            for (auto* n = list->first; n; n = n->next)
                paths.push_back(n->path);
    }
};

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The private folders made in the temporary folder ("0" and six characters).
std::vector<std::string> PrivateFolders()
{
    std::vector<std::string> found;
    std::string temp = std::string(getenv("XDG_CACHE_HOME")) + "/vorantel";
    if (DIR* d = opendir(temp.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] == '0' && std::strlen(e->d_name) == 7)
                found.push_back(temp + "/" + e->d_name);
        closedir(d);
    }
    return found;
}

class DirectSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
        cache = std::make_unique<TemporaryFolder>();
        setenv("XDG_CACHE_HOME", cache->Path().c_str(), 1);
        window.CreateCocoaWindow(0, 0, kStyle, false, nullptr);
        native = window.GetNativeWindow();
        native->SetFrame(LUiRect { 300, 250, 200, 150 });
        handler.DragDropInit(window);
        ASSERT_TRUE(uitest::ShowAndWait(native));
    }
    void TearDown() override
    {
        if (native) {
            handler.DragDropDestroy(window);
            window.Close();
        }
    }

    // Starts the source with the name it proposes and its answer, drags from it onto our window
    // and turns the loop until the drop was handled.
    void DragFromSource(const char* name, const char* answer, unsigned ms = 15000)
    {
        uitest::ForeignDragSource source;
        ASSERT_TRUE(source.Start(
            { { "VT_XDS_SOURCE", "1" }, { "VT_XDS_NAME", name }, { "VT_XDS_ANSWER", answer } }));
        source.DragOnto(
            native, 100, 75, done ? done : [&] { return handler.drops > 0; }, ms);
        source.Stop();
        char line[1024];
        if (std::fgets(line, sizeof line, source.out) && std::fgets(line, sizeof line, source.out))
            sourceUri = line;
    }

    std::unique_ptr<TemporaryFolder> cache;
    LMacWindow window;
    LNativeWindow* native = nullptr;
    PromisedDrops handler;
    std::string sourceUri;
    std::function<bool()> done; // when the drop was handled (default: the handler's)
};

TEST_F(DirectSaveTest, KeptFilesArriveWholeInAPrivateFolderAndAreNotAskedForTwice)
{
    AlertAnswers answers(
        { { "Målmapp för källprogram", "Kopiera" }, { "Lyckad kopia", "Avbryt" } });
    DragFromSource("bild.png", "S");
    ASSERT_EQ(handler.drops, 1);
    ASSERT_EQ(handler.paths.size(), 1u);
    const std::string& path = handler.paths[0];
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "bild.png");
    EXPECT_EQ(Read(path), std::string(kPart) + kPart + kPart);
    struct stat st;
    ASSERT_EQ(stat(path.substr(0, path.rfind('/')).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(handler.again, handler.paths);
    ASSERT_EQ(answers.seen.size(), 2u);
    EXPECT_NE(answers.seen[0].find("Källprogrammet kopierar filerna"), std::string::npos);
    EXPECT_NE(answers.seen[1].find("Kopiering av filer har slutförts"), std::string::npos);
}

TEST_F(DirectSaveTest, ADropTargetOfFileListsTakesThePromisedFileAtTheDrop)
{
    handler.DragDropDestroy(window);
    FileTarget target(&window);
    target.DropTargetInit();
    AlertAnswers answers(
        { { "Målmapp för källprogram", "Kopiera" }, { "Lyckad kopia", "Avbryt" } });
    done = [&] { return !target.paths.empty(); };
    DragFromSource("bild.png", "S");
    EXPECT_EQ(target.entered, 1);
    ASSERT_EQ(target.paths.size(), 1u);
    EXPECT_EQ(Read(target.paths[0]).size(), 48u);
    target.DropTargetDestroy();
}

TEST_F(DirectSaveTest, MovedFilesTakeTheNextFreeNameAndSayWhy)
{
    TemporaryFolder destination;
    {
        std::ofstream(destination.Path() + "/bild.png") << "old";
    }
    LUserSettingSetString(
        "Settings", "PasteboardPromisedFilesDestinationFolder", destination.Path().c_str());
    AlertAnswers answers({ { "Målmapp för källprogram", "Flytta till mapp..." },
        { "finns redan i målmappen", "Fortsätt" }, { "Lyckad kopia", "Avbryt" } });
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(panel), destination.Path().c_str());
        uitest::Pump(300);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_ACCEPT);
    });
    DragFromSource("bild.png", "S");
    ASSERT_EQ(handler.paths.size(), 1u);
    EXPECT_EQ(handler.paths[0], destination.Path() + "/bild_0.png");
    EXPECT_EQ(Read(destination.Path() + "/bild.png"), "old");
    EXPECT_EQ(Read(handler.paths[0]).size(), 48u);
    ASSERT_EQ(answers.seen.size(), 3u);
    EXPECT_NE(answers.seen[1].find("\"bild.png\" finns redan i målmappen"), std::string::npos);
    // The private folder went with the files.
    EXPECT_TRUE(PrivateFolders().empty());
}

TEST_F(DirectSaveTest, CancelingDeletesTheFolderAndDropsNothing)
{
    AlertAnswers answers(AlertAnswers::Labels { { "Målmapp för källprogram", "Avbryt" } });
    DragFromSource("bild.png", "S");
    EXPECT_EQ(handler.drops, 1);
    EXPECT_TRUE(handler.paths.empty());
    EXPECT_TRUE(handler.again.empty());
    EXPECT_EQ(answers.seen.size(), 1u);
    uitest::Pump(3500); // the source would still be writing
    for (const std::string& folder : PrivateFolders())
        ADD_FAILURE() << "left behind: " << folder;
}

TEST_F(DirectSaveTest, ASourceThatFailsOrNamesAPathGivesNothingAndAsksNothing)
{
    struct Case {
        const char* name;
        const char* answer;
    };
    for (const Case& c : { Case { "bild.png", "E" }, Case { "../bild.png", "S" },
             Case { "a/b.png", "S" }, Case { "", "S" } }) {
        SCOPED_TRACE(c.name);
        handler.drops = 0;
        handler.paths.clear();
        AlertAnswers answers(AlertAnswers::Labels { { "Målmapp", "Kopiera" } });
        DragFromSource(c.name, c.answer, 6000);
        EXPECT_TRUE(handler.paths.empty());
        EXPECT_TRUE(answers.seen.empty());
        EXPECT_TRUE(PrivateFolders().empty());
    }
}

} // namespace
