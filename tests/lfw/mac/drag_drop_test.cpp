// Drops on windows: the format registry, file lists from another program dragged with the real
// pointer, and the application's own data dropped on a drop target.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LDragDrop.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/UI.h"
#include "support/ForeignDragSource.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;
constexpr const char* kOwnType = "application/x-vorantel-etikettdata";

void GiveUris(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint)
{
    gchar* a = g_filename_to_uri("/tmp/a b.png", nullptr, nullptr);
    gchar* b = g_filename_to_uri("/tmp/å.png", nullptr, nullptr);
    gchar* uris[] = { a, const_cast<gchar*>("http://example.invalid/x.png"), b, nullptr };
    gtk_selection_data_set_uris(data, uris);
    g_free(a);
    g_free(b);
}

// A child mode of this program: a window of another program that drags two files.
struct FileSourceChild {
    FileSourceChild()
    {
        if (!getenv("VT_DRAG_FILE_SOURCE"))
            return;
        gtk_init(nullptr, nullptr);
        GtkWidget* box = uitest::ForeignDragSourceWindow();
        static const GtkTargetEntry entry { const_cast<char*>("text/uri-list"), 0, 0 };
        gtk_drag_source_set(box, GDK_BUTTON1_MASK, &entry, 1, GDK_ACTION_COPY);
        g_signal_connect(box, "drag-data-get", G_CALLBACK(GiveUris), nullptr);
        gtk_main();
        _exit(0);
    }
} fileSourceChild;

class DragDropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

struct FileDrops : LDragDropHandler {
    std::vector<std::string> paths;
    int drops = 0;
    void EvDropFiles(LDroppedFileData& data) override
    {
        drops++;
        LDroppedFilesIterator it(data, false);
        if (it.GetCount() == 0)
            return;
        do
            paths.push_back(it.GetPath());
        while (it.Next());
    }
};

struct OwnDrops : LDropTarget {
    OwnDrops(LWindow* w, int format)
        : LDropTarget(w, format)
    {
    }
    int entered = 0;
    int dropFormat = 0;
    std::vector<uint8_t> bytes;
    LPoint enteredAt, droppedAt;
    bool AcceptsDropFormat(int format) override { return format == ownFormatId; }
    void EvDragEntered(const LPoint& p) override
    {
        entered++;
        enteredAt = p;
    }
    void EvDrop(int format, LDropData*& data, const LPoint& p) override
    {
        dropFormat = format;
        droppedAt = p;
        if (auto* b = dynamic_cast<LDropDataByteArray*>(data))
            bytes.assign(b->bytes, b->bytes + b->size);
    }
};

// A view that drags the application's own data.
struct SourceView : LView {
    std::vector<uint8_t> payload;
    GtkWidget* CreateWidget() override
    {
        GtkWidget* box = gtk_event_box_new();
        static const GtkTargetEntry entry { const_cast<char*>(kOwnType), GTK_TARGET_SAME_APP, 0 };
        gtk_drag_source_set(box, GDK_BUTTON1_MASK, &entry, 1, GDK_ACTION_COPY);
        g_signal_connect(box, "drag-data-get",
            G_CALLBACK(+[](GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint,
                            gpointer self) {
                auto* v = static_cast<SourceView*>(self);
                gtk_selection_data_set(data, gdk_atom_intern(kOwnType, FALSE), 8, v->payload.data(),
                    gint(v->payload.size()));
            }),
            this);
        return box;
    }
};

} // namespace

TEST(DragFormatRegistry, IdsCountFromOneAndNamesStayWhole)
{
    // Each test runs in a process of its own: this is the first name registered.
    EXPECT_EQ(GetDragFormatIdFromString("application/x-first"), 1u);
    EXPECT_EQ(GetDragFormatIdFromString("application/x-second"), 2u);
    EXPECT_EQ(GetDragFormatIdFromString("application/x-first"), 1u);
    EXPECT_STREQ(GetStringFromDragFormatId(0), "");
    EXPECT_STREQ(GetStringFromDragFormatId(kLDragFormatFileList), "text/uri-list");
    EXPECT_STREQ(GetStringFromDragFormatId(2), "application/x-second");
    EXPECT_STREQ(GetStringFromDragFormatId(77), "");
    std::string longName(400, 'x');
    uint32_t id = GetDragFormatIdFromString(longName.c_str());
    EXPECT_EQ(GetStringFromDragFormatId(id), longName);
    EXPECT_NE(GetDragFormatIdFromString(longName.substr(0, 259).c_str()), id);
}

TEST(DragUriList, LocalPathsOnlyAndNoneTooLong)
{
    std::string longPath = "file:///" + std::string(300, 'p');
    std::string list = "file:///tmp/a%20b.png\r\n# kommentar\r\nhttp://example.invalid/x\r\n"
                       "inte en uri\r\nfile:///tmp/%C3%A5.png\r\n"
        + longPath + "\r\nfile:///tmp/%ZZ\r\nfile:///tmp/sist.png";
    auto paths = LDragParseUriList(reinterpret_cast<const uint8_t*>(list.data()), list.size());
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0], "/tmp/a b.png");
    EXPECT_EQ(paths[1], "/tmp/å.png");
    EXPECT_EQ(paths[2], "/tmp/sist.png");
    EXPECT_TRUE(LDragParseUriList(nullptr, 0).empty());

    std::string many;
    for (int i = 0; i < 10000; i++)
        many += "file:///tmp/fil" + std::to_string(i) + ".png\r\n";
    EXPECT_EQ(LDragParseUriList(reinterpret_cast<const uint8_t*>(many.data()), many.size()).size(),
        10000u);
}

TEST(DragDropData, FileListsPushAtTheHead)
{
    LDropDataFilePathList list;
    list.Push("/a");
    list.Push(std::string(400, 'b').c_str());
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(std::string(list.first->path).size(), 259u);
    EXPECT_STREQ(list.first->next->path, "/a");
}

TEST_F(DragDropTest, FilesDraggedFromAnotherProgramReachEvDropFiles)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LMacWindow w;
    w.CreateCocoaWindow(0, 0, kStyle, false, nullptr);
    LNativeWindow* native = w.GetNativeWindow();
    native->SetFrame(LUiRect { 300, 250, 200, 150 });
    FileDrops handler;
    handler.DragDropInit(w);
    ASSERT_TRUE(uitest::ShowAndWait(native));

    uitest::ForeignDragSource source;
    ASSERT_TRUE(source.Start({ { "VT_DRAG_FILE_SOURCE", "1" } }));
    source.DragOnto(
        native, 100, 75, [&] { return handler.drops > 0; }, 8000);
    source.Stop();
    ASSERT_EQ(handler.drops, 1);
    ASSERT_EQ(handler.paths.size(), 2u);
    EXPECT_EQ(handler.paths[0], "/tmp/a b.png");
    EXPECT_EQ(handler.paths[1], "/tmp/å.png");
    handler.DragDropDestroy(w);
    w.Close();
}

TEST_F(DragDropTest, OwnDataDropsWithItsBytesAtThePositionInPixels)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    // The source: a window of this application.
    auto* source = new LNativeWindow(LUiRect { 0, 0, 120, 100 }, kStyle, false);
    auto* view = new SourceView;
    for (int i = 0; i < 300; i++)
        view->payload.push_back(uint8_t(i * 7));
    view->payload[5] = 0;
    source->SetContentView(view);
    ASSERT_TRUE(uitest::ShowAndWait(source));

    LMacWindow w;
    w.CreateCocoaWindow(0, 0, kStyle, false, nullptr);
    LNativeWindow* native = w.GetNativeWindow();
    native->SetFrame(LUiRect { 0, 0, 200, 150 });
    GtkWidget* toolbar = gtk_toolbar_new();
    gtk_widget_set_size_request(toolbar, -1, 30);
    native->SetToolbar(toolbar);
    int format = int(GetDragFormatIdFromString(kOwnType));
    OwnDrops target(&w, format);
    target.DropTargetInit();
    ASSERT_TRUE(uitest::ShowAndWait(native));
    EXPECT_GT(native->ToolbarHeight(), 0);

    ASSERT_TRUE(uitest::XDrag(
        source, 50, 50, native, 60, 40, [&] { return target.dropFormat != 0; }, 8000));
    EXPECT_EQ(target.entered, 1);
    EXPECT_EQ(target.dropFormat, format);
    EXPECT_EQ(target.bytes, view->payload);
    double s = native->BackingScale();
    int toolbarPixels = LMacWindow::GetToolbarHeightPixels(w.GetContentView());
    EXPECT_GT(toolbarPixels, 0);
    EXPECT_NEAR(target.droppedAt.x, 62 * s, 2 * s);
    EXPECT_NEAR(target.droppedAt.y, 42 * s + toolbarPixels, 2 * s);
    uitest::SaveScreenshot(native, "screenshots/drag_drop/after-drop.png");
    target.DropTargetDestroy();
    w.Close();
    source->Close();
    view->Release();
    source->Release();
}
