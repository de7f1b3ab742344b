// The edit view on a real window: limit and filters as typed and pasted, single-line keys, line
// and selection queries, styles with undo, clicks and the context menu, RTF round trips, a long
// paragraph laid out in pieces and edited where it is cut, long runs of marks shown in part.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LString.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/InstalledPrograms.h"
#include "support/Screenshot.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <random>
#include <string>
#include <vector>

// Every Pango layout given a text of at least kLongText bytes is counted: a text view lays out a
// paragraph (shapes it and breaks it into lines) by giving its whole text to a layout.
// The longest text given to a layout is kept too.
constexpr size_t kLongText = 100000;
static std::atomic<int> gLongLayouts { 0 };
static std::atomic<size_t> gLongestLayout { 0 };
extern "C" void pango_layout_set_text(PangoLayout* layout, const char* text, int length)
{
    using Set = void (*)(PangoLayout*, const char*, int);
    static Set real = reinterpret_cast<Set>(dlsym(RTLD_NEXT, "pango_layout_set_text"));
    const size_t bytes = text ? (length < 0 ? strlen(text) : size_t(length)) : 0;
    if (bytes >= kLongText)
        ++gLongLayouts;
    if (bytes > gLongestLayout)
        gLongestLayout = bytes;
    real(layout, text, length);
}

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
constexpr int kEdit = 100;
constexpr int kCmdChanged = 501, kCmdMax = 502, kCmdClick = 503, kCmdDouble = 504, kCmdRight = 505;

struct EditWindow : LMacWindow {
    std::vector<int> commands;
    void Command(int id, int code) override
    {
        (void)code;
        commands.push_back(id);
    }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

class EditViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }

    // A window with one edit view of the flags, shown and focused.
    LCocoaEditViewImpl* Make(EditWindow& w, const LEditFlags& flags)
    {
        const char* scale = getenv("GDK_SCALE");
        int k = scale && atoi(scale) > 1 ? atoi(scale) : 1;
        w.CreateCocoaWindow(320 * k, 200 * k, kStyle, false, nullptr);
        w.AddEdit(kEdit, flags);
        w.MoveControlPixels(kEdit, 10, 10, int(300 * w.GetBackingScaleFactor()),
            int(120 * w.GetBackingScaleFactor()));
        w.HandleEditTextChange(kEdit, kCmdChanged);
        LCocoaView::setCommandId(
            w.ControlGetRealControlHandle(kEdit), kCmdMax, &keyCmdTextMaximumLength);
        w.InitCommon(kLCocoaDialogCenterNone, true);
        EXPECT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
        LCocoaEditViewImpl* edit = w.EditViewGetImpl(kEdit);
        gtk_widget_grab_focus(GTK_WIDGET(edit->textView()));
        uitest::Pump(30);
        return edit;
    }

    static void Type(LView* view, unsigned key, unsigned state = 0)
    {
        uitest::SendKey(view, key, true, state);
        uitest::SendKey(view, key, false, state);
        uitest::Pump(25);
    }

    static void SetCaret(LCocoaEditViewImpl* edit, uint64_t at)
    {
        edit->setSelectedRange(LTextRange { at, 0 });
    }
};

} // namespace

TEST_F(EditViewTest, LimitRefusesTheCharacterThatReachesItAndReports)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    edit->setMaximumTextLength(5);
    edit->setText("abcd");
    SetCaret(edit, 4);
    Type(edit, GDK_KEY_e);
    EXPECT_EQ(edit->text(), "abcd");
    EXPECT_EQ(w.Count(kCmdMax), 1);
    // Replacing two selected characters by typing keeps within the limit.
    edit->setSelectedRange(LTextRange { 1, 2 });
    Type(edit, GDK_KEY_x);
    EXPECT_EQ(edit->text(), "axd");
    // Text set by code beyond the limit can still be shortened.
    edit->setText("abcdefgh");
    SetCaret(edit, 8);
    Type(edit, GDK_KEY_BackSpace);
    EXPECT_EQ(edit->text(), "abcdefg");
    // Limit 0 refuses everything, deletions included.
    edit->setMaximumTextLength(0);
    Type(edit, GDK_KEY_BackSpace);
    EXPECT_EQ(edit->text(), "abcdefg");
    w.Close();
}

// Keys that reach the view while its window does not have the keyboard (kept while a modal
// window worked, and handed on before the keyboard came back) are typing: reported. Text set by
// code is reported only while the view has the keyboard.
TEST_F(EditViewTest, TypingIsReportedWithoutTheKeyboardTextSetByCodeIsNot)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    uitest::FocusNowhere();
    ASSERT_TRUE(
        uitest::PumpUntil([&] { return !gtk_widget_has_focus(GTK_WIDGET(edit->textView())); }));
    w.commands.clear();
    Type(edit, GDK_KEY_a);
    EXPECT_EQ(edit->text(), "a");
    EXPECT_GE(w.Count(kCmdChanged), 1) << "the typing was not reported";
    w.commands.clear();
    edit->setText("kod");
    EXPECT_EQ(w.Count(kCmdChanged), 0);
    w.Close();
}

TEST_F(EditViewTest, CaseAndDigitFiltersAsTypedAndPasted)
{
    EditWindow w;
    LEditFlags flags;
    flags.upperCase = true;
    flags.digitsOnly = true;
    LCocoaEditViewImpl* edit = Make(w, flags);
    Type(edit, GDK_KEY_a);
    EXPECT_EQ(edit->text(), "A");
    // The limit is checked on the filtered text: "ß" becomes two characters.
    edit->setMaximumTextLength(3);
    Type(edit, GDK_KEY_ssharp);
    EXPECT_EQ(edit->text(), "A");
    EXPECT_GE(w.Count(kCmdMax), 1);
    // Filtered inserts are undone as typing: the typed run at once.
    edit->setMaximumTextLength(32767);
    Type(edit, GDK_KEY_b);
    EXPECT_EQ(edit->text(), "AB");
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_EQ(edit->text(), "");
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    EXPECT_EQ(edit->text(), "AB");
    w.Close();

    EditWindow w2;
    LEditFlags digits;
    digits.digitsOnly = true;
    LCocoaEditViewImpl* d = Make(w2, digits);
    GtkClipboard* clip = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(clip, "a1b2", -1);
    g_signal_emit_by_name(d->textView(), "paste-clipboard");
    ASSERT_TRUE(uitest::PumpUntil([&] { return d->text() == "12"; }, 2000));
    gtk_clipboard_set_text(clip, "abc", -1);
    g_signal_emit_by_name(d->textView(), "paste-clipboard");
    uitest::Pump(100);
    EXPECT_EQ(d->text(), "12");
    EXPECT_GE(w2.Count(kCmdChanged), 1);
    w2.Close();
}

TEST_F(EditViewTest, SingleLineIgnoresReturnAndTab)
{
    EditWindow w;
    LEditFlags flags;
    flags.singleLine = true;
    LCocoaEditViewImpl* edit = Make(w, flags);
    Type(edit, GDK_KEY_a);
    Type(edit, GDK_KEY_Return);
    Type(edit, GDK_KEY_Tab);
    Type(edit, GDK_KEY_b);
    EXPECT_EQ(edit->text(), "ab");
    EXPECT_TRUE(gtk_widget_has_focus(GTK_WIDGET(edit->textView())));
    w.Close();
}

TEST_F(EditViewTest, TheEditViewScrollsInTheWindowsScrollView)
{
    EditWindow w;
    LEditFlags flags; // bordered, vertical scroll bar only
    LCocoaEditViewImpl* edit = Make(w, flags);
    // The id names the scroll view; the text view scrolls itself right inside it.
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(w.GetControlHandle(kEdit));
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->documentView(), edit);
    EXPECT_EQ(w.EditViewGetImpl(kEdit), edit);
    EXPECT_EQ(gtk_widget_get_parent(GTK_WIDGET(edit->textView())), scroll->Widget());
    EXPECT_EQ(scroll->borderType(), 2);
    EXPECT_EQ(
        gtk_scrolled_window_get_shadow_type(GTK_SCROLLED_WINDOW(scroll->Widget())), GTK_SHADOW_IN);
    EXPECT_EQ(edit->Frame().x, 0);
    EXPECT_LE(edit->Frame().width, scroll->Frame().width);
    // Focus by id reaches the text.
    w.SetFocus(kEdit);
    uitest::PumpUntil([&] { return gtk_widget_has_focus(GTK_WIDGET(edit->textView())); });
    EXPECT_TRUE(gtk_widget_has_focus(GTK_WIDGET(edit->textView())));
    EXPECT_TRUE(w.IsControlFocus(kEdit));

    // Typing past the bottom brings the vertical bar, and the caret stays in sight.
    for (int i = 0; i < 30; ++i) {
        Type(edit, GDK_KEY_x);
        Type(edit, GDK_KEY_Return);
    }
    uitest::PumpUntil([&] { return scroll->isScrollerVisible(true); }, 2000);
    EXPECT_TRUE(scroll->isScrollerVisible(true));
    EXPECT_FALSE(scroll->isScrollerVisible(false));
    GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroll->Widget()));
    uitest::PumpUntil([&] { return gtk_adjustment_get_value(v) > 0; }, 2000);
    EXPECT_GT(gtk_adjustment_get_value(v), 0);
    uitest::Screenshot(w.GetNativeWindow(), "edit-view-scrolled");
    // Long lines wrap: no horizontal bar.
    edit->setText(std::string(400, 'w').c_str());
    uitest::Pump(100);
    EXPECT_FALSE(scroll->isScrollerVisible(false));
    edit->setText("Första raden\nAndra raden\nTredje raden");
    uitest::Pump(100);
    uitest::Screenshot(w.GetNativeWindow(), "edit-view-in-scroll-view");
    w.Close();

    // A single line: no scroll bar ever, however long the text.
    EditWindow single;
    LEditFlags one;
    one.singleLine = true;
    one.horizontalScroller = true;
    LCocoaEditViewImpl* line = Make(single, one);
    auto* lineScroll = dynamic_cast<LCustomCocoaScrollView*>(single.GetControlHandle(kEdit));
    ASSERT_NE(lineScroll, nullptr);
    line->setText(std::string(400, 'w').c_str());
    uitest::Pump(100);
    EXPECT_FALSE(lineScroll->isScrollerVisible(true));
    EXPECT_FALSE(lineScroll->isScrollerVisible(false));
    single.Close();
}

TEST_F(EditViewTest, LinesAndSelectionInUtf16Units)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    edit->setText("abcdef");
    SetCaret(edit, 3);
    LTextRange r = edit->getSelectionRange();
    EXPECT_EQ(r.location, 2u);
    EXPECT_EQ(r.length, 1u);
    SetCaret(edit, 0);
    r = edit->getSelectionRange();
    EXPECT_EQ(r.location, 0u);
    EXPECT_EQ(r.length, 1u);
    edit->setText("");
    r = edit->getSelectionRange();
    EXPECT_EQ(r.length, 0u);

    // A character outside the BMP counts two units.
    edit->setText("a\xF0\x9F\x98\x80"
                  "b\ncd\n");
    EXPECT_EQ(edit->getNumberOfLinesBasedOnLineBreaks(), 2);
    EXPECT_EQ(edit->getCharIndexOfLine(1), 5u);
    EXPECT_EQ(edit->getCharIndexOfLine(5), 0u);
    EXPECT_EQ(edit->getLineLength(1), 5u);
    EXPECT_EQ(edit->getLineFromCharIndex(6), 1);
    EXPECT_EQ(edit->getLineFromCharIndex(99), 0);
    EXPECT_GE(edit->getNumberOfLinesWrappedText(), 2);
    // Out-of-range selections are ignored.
    edit->setSelectedRange(LTextRange { 2, 1000 });
    EXPECT_EQ(edit->selectedRange().length, 0u);

    // Fixed buffers are cut at a whole character; invalid UTF-8 becomes U+FFFD.
    edit->setText("ab\xC3\xA9");
    char small[4];
    edit->getText(small, sizeof small);
    EXPECT_STREQ(small, "ab");
    edit->setText("x\xFFy");
    EXPECT_EQ(edit->text(), "x\xEF\xBF\xBDy");

    // The grey prompt of an empty view.
    w.EditPromptSet(kEdit, "Skriv en kommentar");
    EXPECT_EQ(edit->prompt(), "Skriv en kommentar");
    edit->setText("");
    edit->showSelection(false, false);
    edit->showSelection(true, true);
    uitest::Screenshot(w.GetNativeWindow(), "edit-view-prompt");
    w.Close();
}

TEST_F(EditViewTest, ALongParagraphIsLaidOutInPiecesAndShownFromItsStart)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    edit->setMaximumTextLength(1u << 20);
    int draws = 0;
    g_signal_connect(edit->textView(), "draw",
        G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer d) -> gboolean {
            ++*static_cast<int*>(d);
            return FALSE;
        }),
        &draws);
    // 150,000 letters without a blank: one paragraph that wraps by characters. Broken at words
    // first, Pango took minutes over it; laid out whole, a second.
    std::mt19937 random(37);
    std::string text(150000, 'a');
    for (char& c : text)
        c = char('a' + random() % 26);
    GtkAdjustment* vertical = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(edit->textView()));

    for (int round = 0; round < 2; ++round) {
        text[0] = char('A' + round);
        gLongLayouts = 0;
        gLongestLayout = 0;
        draws = 0;
        edit->setText(text.c_str());
        // Drawn from its start at once, then laid out to its end in the view's idle time, a
        // few thousand letters at a time: thousands of lines.
        ASSERT_TRUE(uitest::PumpUntil([&] { return draws > 0; }, 20000));
        ASSERT_TRUE(
            uitest::PumpUntil([&] { return gtk_adjustment_get_upper(vertical) > 20000; }, 120000))
            << gtk_adjustment_get_upper(vertical);
        EXPECT_EQ(gLongLayouts, 0) << "round " << round;
        EXPECT_LE(gLongestLayout, size_t(8192)) << "round " << round;
        // (Compared whole, but never printed: a failure would print 300,000 letters.)
        EXPECT_TRUE(edit->text() == text) << edit->text().size() << " bytes";
        EXPECT_EQ(edit->selectedRange().location, 0u);
        EXPECT_EQ(edit->selectedRange().length, 0u);
        EXPECT_EQ(gtk_adjustment_get_value(vertical), 0);
    }
    uitest::Screenshot(w.GetNativeWindow(), "edit-view-long-paragraph");

    // The whole text is there to edit: typing goes in at the caret, and undo takes it back.
    Type(edit, GDK_KEY_x);
    EXPECT_TRUE(edit->text() == "x" + text) << edit->text().substr(0, 8);
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_TRUE(edit->text() == text) << edit->text().substr(0, 8);
    Type(edit, GDK_KEY_End, GDK_CONTROL_MASK);
    Type(edit, GDK_KEY_y);
    EXPECT_TRUE(edit->text() == text + "y") << edit->text().size() << " bytes";
    // Ordinary words are kept whole at the ends of lines again.
    edit->setText("Första raden av en vanlig text med vanliga ord som bryts vid orden");
    EXPECT_EQ(gtk_text_view_get_wrap_mode(edit->textView()), GTK_WRAP_WORD_CHAR);
    // A long run pasted in is wrapped at characters from then on.
    gtk_text_buffer_insert_interactive_at_cursor(
        gtk_text_view_get_buffer(edit->textView()), std::string(5000, 'k').c_str(), -1, TRUE);
    EXPECT_EQ(edit->text().size(), 5000u + 67u);
    EXPECT_EQ(gtk_text_view_get_wrap_mode(edit->textView()), GTK_WRAP_CHAR);
    w.Close();
}

// A letter with 20,000 accents: the view lays out the letter with its first 30 (shaping them
// all takes the square of their number), while the text keeps every one through typing,
// deleting and undoing; a run that grows by a deletion is cut again, typed text stays shown.
TEST_F(EditViewTest, ALongRunOfMarksIsShownInPartAndKeptWhole)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    edit->setMaximumTextLength(1u << 20);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(edit->textView());
    auto shown = [&] {
        GtkTextIter s, e;
        gtk_text_buffer_get_bounds(buffer, &s, &e);
        gchar* t = gtk_text_buffer_get_text(buffer, &s, &e, FALSE);
        std::string out = t;
        g_free(t);
        return out;
    };
    auto accents = [](size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += "\xCC\x81";
        return out;
    };
    const std::string text = "a" + accents(20000) + "b" + accents(5);
    gLongestLayout = 0;
    edit->setText(text.c_str());
    // The view has laid out what it shows (in idle time).
    EXPECT_TRUE(uitest::PumpUntilIdle());
    EXPECT_TRUE(edit->text() == text) << edit->text().size() << " bytes";
    EXPECT_EQ(shown(), "a" + accents(30) + "b" + accents(5));
    EXPECT_LT(gLongestLayout, size_t(200));

    Type(edit, GDK_KEY_End, GDK_CONTROL_MASK);
    Type(edit, GDK_KEY_c);
    EXPECT_TRUE(edit->text() == text + "c");
    EXPECT_EQ(shown(), "a" + accents(30) + "b" + accents(5) + "c");
    // The "b" deleted: its accents join the long run and are hidden with it.
    edit->setSelectedRange(LTextRange { 20001, 1 });
    Type(edit, GDK_KEY_Delete);
    EXPECT_TRUE(edit->text() == "a" + accents(20005) + "c") << edit->text().size() << " bytes";
    EXPECT_EQ(shown(), "a" + accents(30) + "c");
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_TRUE(edit->text() == text + "c");
    EXPECT_EQ(shown(), "a" + accents(30) + "b" + accents(5) + "c");
    EXPECT_TRUE(uitest::PumpUntilIdle());
    EXPECT_LT(gLongestLayout, size_t(200));
    w.Close();
}

// Thousands of letters with 31 accents each: each shows 30, the text keeps all of them, and
// what is typed, copied, deleted and undone is the text (the view's pieces and left-out marks are
// never seen in it).
TEST_F(EditViewTest, ManyLongRunsOfMarksAreEditedAsTheText)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    edit->setMaximumTextLength(1u << 20);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(edit->textView());
    auto accents = [](size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += "\xCC\x81";
        return out;
    };
    std::string text, visible;
    for (int i = 0; i < 3000; ++i) {
        text += "e" + accents(31);
        visible += "e" + accents(30);
    }
    gLongestLayout = 0;
    edit->setText(text.c_str());
    uitest::Pump(200);
    EXPECT_TRUE(edit->text() == text) << edit->text().size() << " bytes";
    GtkTextIter s, e;
    gtk_text_buffer_get_bounds(buffer, &s, &e);
    gchar* shown = gtk_text_buffer_get_text(buffer, &s, &e, TRUE);
    std::string withoutBreaks;
    for (const char* c = shown; *c; ++c)
        if (*c != '\n')
            withoutBreaks += *c;
    g_free(shown);
    EXPECT_TRUE(withoutBreaks == visible) << withoutBreaks.size() << " bytes";
    EXPECT_LT(gLongestLayout, size_t(8192));

    // Typed at the end, then everything copied: the clipboard gets the text.
    Type(edit, GDK_KEY_End, GDK_CONTROL_MASK);
    Type(edit, GDK_KEY_x);
    EXPECT_TRUE(edit->text() == text + "x");
    Type(edit, GDK_KEY_a, GDK_CONTROL_MASK);
    Type(edit, GDK_KEY_c, GDK_CONTROL_MASK);
    gchar* copied = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(std::string(copied) == text + "x") << strlen(copied) << " bytes";
    g_free(copied);
    // All of it deleted, and back.
    Type(edit, GDK_KEY_Delete);
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(gtk_text_buffer_get_char_count(buffer), 0);
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_TRUE(edit->text() == text + "x");
    EXPECT_EQ(edit->selectedRange().location, uint64_t(3000 * 32 + 1));
    w.Close();
}

// A long paragraph is shown in pieces, each a line of the view; at a piece's end, typing goes in
// where the caret is, and Backspace after the line end between two pieces takes the letter
// before it.
TEST_F(EditViewTest, TypingAndDeletingWhereAParagraphIsCut)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    edit->setMaximumTextLength(1u << 20);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(edit->textView());
    std::string text(10000, 'a');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    edit->setText(text.c_str());
    uitest::Pump(100);
    // The first line end of the buffer is none of the text's.
    GtkTextIter at;
    gtk_text_buffer_get_start_iter(buffer, &at);
    ASSERT_TRUE(gtk_text_iter_forward_to_line_end(&at));
    const int cut = gtk_text_iter_get_offset(&at);
    ASSERT_GT(cut, 100);
    ASSERT_LT(cut, int(text.size()));
    gtk_text_buffer_place_cursor(buffer, &at);
    Type(edit, GDK_KEY_X);
    std::string expected = text;
    expected.insert(size_t(cut), "X");
    EXPECT_TRUE(edit->text() == expected);
    // After the line end: Backspace takes the X, then the letter before it.
    gtk_text_buffer_get_iter_at_offset(buffer, &at, cut + 2);
    gtk_text_buffer_place_cursor(buffer, &at);
    Type(edit, GDK_KEY_BackSpace);
    EXPECT_TRUE(edit->text() == text);
    Type(edit, GDK_KEY_BackSpace);
    expected = text;
    expected.erase(size_t(cut - 1), 1);
    EXPECT_TRUE(edit->text() == expected);
    EXPECT_EQ(edit->selectedRange().location, uint64_t(cut - 1));
    // Undone, both.
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_TRUE(edit->text() == text.substr(0, size_t(cut)) + "X" + text.substr(size_t(cut)));
    w.Close();
}

TEST_F(EditViewTest, StylesUndoPerRunAndEmptyRangesOnlyForTyping)
{
    EditWindow w;
    LEditFlags flags;
    flags.richText = true;
    LCocoaEditViewImpl* edit = Make(w, flags);
    edit->setText("hello world");
    edit->setBold(true, LTextRange { 0, 5 });
    edit->setItalic(true, LTextRange { 3, 5 });
    EXPECT_TRUE(edit->getBoldForRange(LTextRange { 0, 5 }));
    EXPECT_FALSE(edit->getBoldForRange(LTextRange { 0, 6 }));
    EXPECT_TRUE(edit->canUndo());
    // Bold over a range half bold, then undone: each run as it was.
    edit->setBold(true, LTextRange { 3, 5 });
    EXPECT_TRUE(edit->getBoldForRange(LTextRange { 0, 8 }));
    edit->undo();
    EXPECT_TRUE(edit->getBoldForRange(LTextRange { 0, 5 }));
    EXPECT_FALSE(edit->getBoldForRange(LTextRange { 5, 3 }));
    EXPECT_TRUE(edit->getItalicForRange(LTextRange { 3, 5 }));

    // An empty range changes what is typed next, with no undo.
    size_t before = 0;
    while (edit->canUndo()) {
        edit->undo();
        ++before;
    }
    EXPECT_EQ(before, 2u);
    edit->setBold(true, LTextRange { 11, 0 });
    EXPECT_FALSE(edit->canUndo());
    SetCaret(edit, 11);
    edit->setBold(true, LTextRange { 11, 0 });
    Type(edit, GDK_KEY_x);
    EXPECT_TRUE(edit->getBoldForRange(LTextRange { 11, 1 }));
    EXPECT_FALSE(edit->getBoldForRange(LTextRange { 10, 1 }));

    // Two families: no one name.
    edit->setFont("Serif", LTextRange { 0, 3 });
    edit->setFont("Monospace", LTextRange { 3, 3 });
    char family[260];
    EXPECT_FALSE(edit->getFontForRange(LTextRange { 0, 6 }, family));
    EXPECT_STREQ(family, "");
    EXPECT_TRUE(edit->getFontForRange(LTextRange { 0, 3 }, family));
    EXPECT_STREQ(family, "Serif");
    edit->setFontSize(20, LTextRange { 0, 2 });
    EXPECT_DOUBLE_EQ(edit->getFontSizeForRange(LTextRange { 0, 2 }), 20);
    LTextColor red { 1, 0, 0, 1 };
    edit->setFontColor(&red, LTextRange { 0, 1 });
    EXPECT_EQ(edit->getFontColorForRange(LTextRange { 0, 1 }), red);
    edit->setAlignmentX(2, LTextRange { 0, 1 });
    EXPECT_EQ(edit->getAlignmentX(LTextRange { 0, 1 }), 2);
    edit->setParagraphSpaceBefore(6, LTextRange { 0, 1 });
    EXPECT_FLOAT_EQ(edit->getParagraphSpaceBefore(LTextRange { 0, 1 }), 6);
    EXPECT_FLOAT_EQ(edit->getParagraphSpaceBefore(LTextRange { 500, 1 }), 0);
    uitest::Screenshot(w.GetNativeWindow(), "edit-view-styles");
    w.Close();
}

TEST_F(EditViewTest, CtrlZUndoesTypingAndBold)
{
    EditWindow w;
    LEditFlags flags;
    flags.richText = true;
    LCocoaEditViewImpl* edit = Make(w, flags);
    Type(edit, GDK_KEY_a);
    Type(edit, GDK_KEY_b);
    Type(edit, GDK_KEY_c);
    edit->setBold(true, LTextRange { 0, 3 });
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_FALSE(edit->getBoldForRange(LTextRange { 0, 3 }));
    EXPECT_EQ(edit->text(), "abc");
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_EQ(edit->text(), "");
    Type(edit, GDK_KEY_z, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    EXPECT_EQ(edit->text(), "abc");
    w.Close();
}

TEST_F(EditViewTest, ClicksDoubleClicksAndTheContextMenu)
{
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    LView* view = w.ControlGetRealControlHandle(kEdit);
    LCocoaView::setCommandId(view, kCmdClick, &keyCmdTextClick);
    LCocoaView::setCommandId(view, kCmdDouble, &keyCmdTextDoubleClick);
    edit->setText("some words here");
    GtkWidget* tv = GTK_WIDGET(edit->textView());
    auto press = [&](GdkEventType type, int button) {
        GdkEvent* e = gdk_event_new(type);
        e->button.window = GDK_WINDOW(
            g_object_ref(gtk_text_view_get_window(edit->textView(), GTK_TEXT_WINDOW_TEXT)));
        e->button.x = 10;
        e->button.y = 5;
        e->button.button = guint(button);
        gdk_event_set_device(
            e, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
        gboolean handled = FALSE;
        g_signal_emit_by_name(tv, "button-press-event", e, &handled);
        gdk_event_free(e);
        return handled;
    };
    press(GDK_BUTTON_PRESS, 1);
    EXPECT_EQ(w.Count(kCmdClick), 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdClick) == 1; }, 3000));
    // A double click: only its own command.
    press(GDK_BUTTON_PRESS, 1);
    press(GDK_2BUTTON_PRESS, 1);
    EXPECT_EQ(w.Count(kCmdDouble), 1);
    uitest::Pump(800);
    EXPECT_EQ(w.Count(kCmdClick), 1);
    // A right click without a command is left to the text view (its context menu).
    EXPECT_FALSE(press(GDK_BUTTON_PRESS, 3));
    LCocoaView::setCommandId(view, kCmdRight, &keyCmdCtrlRightClick);
    EXPECT_TRUE(press(GDK_BUTTON_PRESS, 3));
    EXPECT_EQ(w.Count(kCmdRight), 1);
    w.Close();
}

TEST_F(EditViewTest, RtfRoundTripAndTheWindowsTextOperations)
{
    EditWindow w;
    LEditFlags flags;
    flags.richText = true;
    LCocoaEditViewImpl* edit = Make(w, flags);
    w.SetText(kEdit, "Fet {text} \xC3\xA5\xF0\x9F\x98\x80\nrad");
    edit->setBold(true, LTextRange { 0, 3 });
    edit->setFont("Serif", LTextRange { 4, 6 });
    std::string rtf = edit->rtfText();
    EXPECT_EQ(rtf.compare(0, 6, "{\\rtf1"), 0);
    edit->setText("");
    edit->setRTFText(rtf.data(), rtf.size());
    EXPECT_EQ(edit->text(), "Fet {text} \xC3\xA5\xF0\x9F\x98\x80\nrad");
    EXPECT_TRUE(edit->getBoldForRange(LTextRange { 0, 3 }));
    EXPECT_FALSE(edit->getBoldForRange(LTextRange { 3, 1 }));
    char family[260];
    EXPECT_TRUE(edit->getFontForRange(LTextRange { 4, 6 }, family));
    EXPECT_STREQ(family, "Serif");
    char buffer[260];
    w.GetText(kEdit, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, edit->text().c_str());
    // Not RTF: nothing changes.
    edit->setRTFText("plain", 5);
    EXPECT_EQ(edit->text(), "Fet {text} \xC3\xA5\xF0\x9F\x98\x80\nrad");

    // unrtf reads our RTF when it is installed.
    int status = 0;
    uitest::Run("command -v unrtf >/dev/null 2>&1", &status);
    if (status == 0) {
        std::string name = TemporaryFolder::Base() + "/vt-rtf-XXXXXX";
        char* path = name.data();
        int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, rtf.data(), rtf.size()), ssize_t(rtf.size()));
        close(fd);
        std::string out = uitest::Run(std::string("unrtf --text ") + path + " 2>/dev/null");
        unlink(path);
        EXPECT_NE(out.find("Fet {text}"), std::string::npos) << out;
        EXPECT_NE(out.find("rad"), std::string::npos) << out;
    }
    w.Close();
}

// The centre of the character at a UTF-16 index in points of the window's content.
LUiPoint CharacterCentre(LCocoaEditViewImpl* edit, int offset)
{
    GtkTextView* tv = edit->textView();
    GtkTextIter at;
    gtk_text_buffer_get_iter_at_offset(gtk_text_view_get_buffer(tv), &at, offset);
    GdkRectangle box;
    gtk_text_view_get_iter_location(tv, &at, &box);
    int x = 0, y = 0;
    gtk_text_view_buffer_to_window_coords(
        tv, GTK_TEXT_WINDOW_WIDGET, box.x + box.width / 2, box.y + box.height / 2, &x, &y);
    return edit->ConvertToRoot(LUiPoint { double(x), double(y) });
}

// A letter with 40 accents, of which 30 show, dragged with the real pointer to the end of the
// text: it moves with all its accents.
TEST_F(EditViewTest, ALetterWithMarksLeftOutIsDraggedWhole)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    EditWindow w;
    LCocoaEditViewImpl* edit = Make(w, LEditFlags {});
    std::string accents;
    for (int i = 0; i < 40; ++i)
        accents += "\xCC\x81";
    edit->setText(("ab e" + accents + " cd").c_str());
    edit->setSelectedRange(LTextRange { 3, 41 });
    uitest::Pump(100);
    // From the selected letter to the end of the text (shown: "ab ", the letter and 30 accents,
    // " cd").
    const LUiPoint from = CharacterCentre(edit, 3);
    const LUiPoint to = CharacterCentre(edit, 3 + 31 + 3);
    ASSERT_TRUE(uitest::XDragWithin(w.GetNativeWindow(), from.x, from.y, to.x + 12, to.y,
        [&] { return edit->text() != "ab e" + accents + " cd"; }));
    EXPECT_EQ(edit->text(), "ab  cde" + accents);
    w.Close();
}

// Rich text with link detection: the addresses typed with the real keyboard become links (blue,
// underlined), a click on one opens it with the desktop's opener, a click beside it does not,
// and they stay out of the text's styles and its RTF. Without detection nothing is a link.
TEST_F(EditViewTest, TypedAddressesAreLinksThatOpenOnAClick)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    InstalledPrograms programs; // the opener records what it is asked to open
    EditWindow w;
    LEditFlags flags;
    flags.richText = true;
    flags.detectLinks = true;
    LCocoaEditViewImpl* edit = Make(w, flags);
    ASSERT_TRUE(edit->isDetectingLinks());
    {
        uitest::KeyboardLock lock;
        gdk_display_sync(gdk_display_get_default());
        const std::string xid = std::to_string(w.GetNativeWindow()->XWindowId());
        uitest::Run("xdotool windowfocus --sync " + xid);
        gtk_widget_grab_focus(GTK_WIDGET(edit->textView()));
        uitest::Pump(50);
        uitest::Run("xdotool type --delay 30 'Se www.exempel.se, skriv till anna@exempel.se.'");
        ASSERT_TRUE(uitest::PumpUntil(
            [&] { return edit->text() == "Se www.exempel.se, skriv till anna@exempel.se."; }));
    }
    EXPECT_EQ(edit->linkAt(0), "");
    EXPECT_EQ(edit->linkAt(3), "http://www.exempel.se");
    EXPECT_EQ(edit->linkAt(16), "http://www.exempel.se");
    EXPECT_EQ(edit->linkAt(17), ""); // the comma
    EXPECT_EQ(edit->linkAt(30), "mailto:anna@exempel.se");
    EXPECT_EQ(edit->linkAt(45), ""); // the full stop
    // The links are no style of the text.
    EXPECT_FALSE(edit->getUnderlineForRange(LTextRange { 3, 14 }));
    EXPECT_EQ(edit->rtfText().find("\\ul"), std::string::npos);
    uitest::FocusNowhere();
    const std::string shot = uitest::Screenshot(w.GetNativeWindow(), "edit-view-links");

    // Blue ink under "www": the link's colour, none under "Se".
    cairo_surface_t* image = cairo_image_surface_create_from_png(shot.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    const double k = w.GetBackingScaleFactor();
    auto blueIn = [&](int from, int to) {
        const LUiPoint a = CharacterCentre(edit, from), b = CharacterCentre(edit, to);
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        int blue = 0;
        for (int y = int((a.y - 10) * k); y < int((a.y + 10) * k); ++y)
            for (int x = int(a.x * k); x <= int(b.x * k); ++x) {
                const unsigned char* p = data + y * stride + x * 4; // B G R A
                blue += p[0] > 120 && p[0] > p[2] + 60;
            }
        return blue;
    };
    EXPECT_GT(blueIn(3, 16), 20);
    EXPECT_EQ(blueIn(0, 1), 0);
    cairo_surface_destroy(image);

    // A click on the link opens it; a click on plain text opens nothing more.
    LUiPoint link = CharacterCentre(edit, 8);
    auto openedAfter = [&](size_t count) {
        std::vector<std::string> lines;
        uitest::PumpUntil([&] { return (lines = programs.Opened(count, 0)).size() >= count; });
        return lines;
    };
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), link.x, link.y));
    std::vector<std::string> opened = openedAfter(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "http://www.exempel.se");
    LUiPoint plain = CharacterCentre(edit, 22);
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), plain.x, plain.y));
    uitest::Pump(300);
    LUiPoint mail = CharacterCentre(edit, 33);
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), mail.x, mail.y));
    opened = openedAfter(2);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], "mailto:anna@exempel.se");

    // Deleting a letter of the address keeps the link over what is left.
    edit->setSelectedRange(LTextRange { 17, 0 });
    Type(edit, GDK_KEY_BackSpace);
    EXPECT_EQ(edit->linkAt(3), "http://www.exempel.s");
    w.Close();

    // Rich text without detection, and detection without rich text: no links.
    for (bool rich : { true, false }) {
        EditWindow plainWindow;
        LEditFlags other;
        other.richText = rich;
        other.detectLinks = !rich;
        LCocoaEditViewImpl* view = Make(plainWindow, other);
        EXPECT_FALSE(view->isDetectingLinks());
        view->setText("Se www.exempel.se");
        EXPECT_EQ(view->linkAt(5), "");
        plainWindow.Close();
    }
}

TEST(EditLinks, AddressesInRunningText)
{
    using LCocoaEditLinks::Find;
    auto addresses = [](const std::string& text) {
        std::vector<std::string> out;
        for (const auto& f : Find(text))
            out.push_back(text.substr(f.start, f.end - f.start) + " -> " + f.address);
        return out;
    };
    EXPECT_EQ(addresses("Läs https://exempel.se/a_(b)/c?d=1&e=2, sedan (http://x.se/y)."),
        (std::vector<std::string> { "https://exempel.se/a_(b)/c?d=1&e=2 -> "
                                    "https://exempel.se/a_(b)/c?d=1&e=2",
            "http://x.se/y -> http://x.se/y" }));
    EXPECT_EQ(addresses("WWW.Exempel.se! ftp://filer.se/\"blob\" mailto:a@b.se"),
        (std::vector<std::string> { "WWW.Exempel.se -> http://WWW.Exempel.se",
            "ftp://filer.se/ -> ftp://filer.se/", "mailto:a@b.se -> mailto:a@b.se" }));
    EXPECT_EQ(addresses("Åsa.Öberg@post.exempel.se; bob@x"),
        (std::vector<std::string> {
            "Åsa.Öberg@post.exempel.se -> mailto:Åsa.Öberg@post.exempel.se" }));
    // A scheme or "www." alone, and no addresses at all.
    EXPECT_TRUE(Find("http:// och www. och https://.").empty());
    EXPECT_TRUE(Find("inga adresser här, 3.5 kr").empty());
    EXPECT_TRUE(Find(std::string("http://a\xff\xfe.se", 13)).empty()); // not UTF-8
}

TEST(EditRtf, HostileInputIsReadSafely)
{
    std::vector<LCocoaEditRtf::Run> runs;
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i)
        deep += "{";
    deep += "x";
    EXPECT_TRUE(LCocoaEditRtf::Read(deep.data(), deep.size(), runs));
    std::string huge = "{\\rtf1 {\\fs99999999999999999999\\cf99999999999 a}\\u99999999? b}";
    EXPECT_TRUE(LCocoaEditRtf::Read(huge.data(), huge.size(), runs));
    ASSERT_FALSE(runs.empty());
    EXPECT_LE(runs.front().size, 10000.0);
    std::string truncated = "{\\rtf1 {\\b ab\\";
    EXPECT_TRUE(LCocoaEditRtf::Read(truncated.data(), truncated.size(), runs));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, "ab");
    EXPECT_TRUE(runs[0].bold);
    EXPECT_FALSE(LCocoaEditRtf::Read("{\\rt", 4, runs));
}
