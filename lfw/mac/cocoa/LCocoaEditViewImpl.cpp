#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"

#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/system/FileRead.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kStyleKinds[]
    = { "b", "i", "u", "s", "family", "size", "fg", "bg", "indent", "above", "below", "just" };

std::u16string ToUtf16(const std::string& text)
{
    glong n = 0;
    gunichar2* u = g_utf8_to_utf16(text.c_str(), glong(text.size()), nullptr, &n, nullptr);
    std::u16string out;
    if (u)
        out.assign(reinterpret_cast<char16_t*>(u), size_t(n));
    g_free(u);
    return out;
}

std::string ColorName(const LTextColor& c)
{
    char s[32];
    auto ch = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    snprintf(s, sizeof s, "#%02x%02x%02x", ch(c.red), ch(c.green), ch(c.blue));
    return s;
}

LTextColor ColorOf(const std::string& name)
{
    LTextColor c;
    GdkRGBA rgba;
    if (gdk_rgba_parse(&rgba, name.c_str()))
        c = LTextColor { rgba.red, rgba.green, rgba.blue, rgba.alpha };
    return c;
}

std::string Number(double v)
{
    char s[48];
    snprintf(s, sizeof s, "%g", v);
    for (char* c = s; *c; ++c)
        if (*c == ',')
            *c = '.';
    return s;
}

double NumberOf(const std::string& s)
{
    return g_ascii_strtod(s.c_str(), nullptr);
}

// A run of this many characters without a blank is no word: breaking its lines at words first
// costs Pango time that grows with the square of the run (minutes for 100,000 letters), while
// breaking at characters takes a fraction of a second and places the breaks inside it alike.
constexpr size_t kLongestWord = 1000;

bool HasRunLongerThanAWord(const char* utf8, size_t bytes)
{
    size_t run = 0;
    for (const char *p = utf8, *end = utf8 + bytes; p < end && *p; p = g_utf8_next_char(p)) {
        run = g_unichar_isspace(g_utf8_get_char(p)) ? 0 : run + 1;
        if (run >= kLongestWord)
            return true;
    }
    return false;
}

} // namespace

bool LCocoaEditViewImpl::HasLongRun(const char* utf8, size_t bytes)
{
    return bytes >= kLongestWord && HasRunLongerThanAWord(utf8, bytes);
}

LCocoaEditViewImpl::LCocoaEditViewImpl(
    const LUiRect& frame, int cid, LCocoaWindow* window, const LEditFlags& flags)
    : LCocoaControlImpl(frame, window)
    // A single line is never cut in pieces.
    , fShown(flags.singleLine ? 0 : LCocoaEditShownText::kPieceWeight)
{
    (void)cid;
    SetAnswersEnabled(true);
    SetAcceptsFocus(true);
    bRichText = flags.richText;
    bDetectLinks = flags.richText && flags.detectLinks;
    if (flags.alignment >= 0 && flags.alignment <= 2)
        iAlignment = flags.alignment;
    bIsSingleline = flags.singleLine;
    bIsUppercase = flags.upperCase;
    bIsLowercase = flags.lowerCase;
    bIsNumber = flags.digitsOnly;
    bReadOnly = flags.readOnly;
    bVerticalScroll = flags.verticalScroller && !flags.singleLine;
    bHorizontalScroll = flags.horizontalScroller && !flags.singleLine;
}

LCocoaEditViewImpl::~LCocoaEditViewImpl()
{
    if (fSelectionCss)
        g_object_unref(fSelectionCss);
    if (fClickTimer)
        g_source_remove(fClickTimer);
}

// --- the widget --------------------------------------------------------------------------------

GtkWidget* LCocoaEditViewImpl::CreateWidget()
{
    // The text view scrolls itself in the enclosing scroll view, which draws the border.
    fTextView = GTK_TEXT_VIEW(gtk_text_view_new());
    fBuffer = gtk_text_view_get_buffer(fTextView);
    gtk_text_view_set_editable(fTextView, !bReadOnly);
    gtk_widget_set_sensitive(GTK_WIDGET(fTextView), bEnabled);
    if (iAlignment >= 0)
        gtk_text_view_set_justification(fTextView,
            iAlignment == 1       ? GTK_JUSTIFY_CENTER
                : iAlignment == 2 ? GTK_JUSTIFY_RIGHT
                                  : GTK_JUSTIFY_LEFT);
    gtk_text_view_set_left_margin(fTextView, int(fLeftMargin));
    gtk_text_view_set_right_margin(fTextView, int(fRightMargin));
    setVerticalScroll(bVerticalScroll);
    setHorizontalScroll(bHorizontalScroll);
    if (bDetectLinks)
        fLinkTag = gtk_text_buffer_create_tag(fBuffer, nullptr, "foreground", "#1a5fb4",
            "underline", PANGO_UNDERLINE_SINGLE, nullptr);
    g_signal_connect(fBuffer, "insert-text", G_CALLBACK(OnInsertText), this);
    g_signal_connect(fBuffer, "delete-range", G_CALLBACK(OnDeleteRange), this);
    g_signal_connect(fBuffer, "mark-set", G_CALLBACK(OnMarkSet), this);
    g_signal_connect(fBuffer, "begin-user-action", G_CALLBACK(+[](GtkTextBuffer*, gpointer d) {
        auto* self = static_cast<LCocoaEditViewImpl*>(d);
        if (self->fActionDepth++ == 0)
            self->fCurrent = Step {};
    }),
        this);
    g_signal_connect(fBuffer, "end-user-action", G_CALLBACK(+[](GtkTextBuffer*, gpointer d) {
        auto* self = static_cast<LCocoaEditViewImpl*>(d);
        if (self->fActionDepth > 0 && --self->fActionDepth == 0 && !self->fCurrent.changes.empty())
            self->PushStep(std::move(self->fCurrent));
    }),
        this);
    GtkWidget* tv = GTK_WIDGET(fTextView);
    g_signal_connect(tv, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(tv, "key-release-event", G_CALLBACK(OnKeyRelease), this);
    g_signal_connect(tv, "button-press-event", G_CALLBACK(OnButtonPress), this);
    if (bDetectLinks) {
        g_signal_connect(tv, "button-release-event", G_CALLBACK(OnLinkRelease), this);
        g_signal_connect(tv, "motion-notify-event", G_CALLBACK(OnLinkMotion), this);
    }
    g_signal_connect(tv, "focus-in-event", G_CALLBACK(OnFocusIn), this);
    g_signal_connect(tv, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    g_signal_connect(tv, "copy-clipboard", G_CALLBACK(OnCopy), this);
    g_signal_connect(tv, "cut-clipboard", G_CALLBACK(OnCut), this);
    // Text dragged from the view is the text's: a plain view offers no copy of its buffer.
    g_signal_connect(tv, "drag-data-get", G_CALLBACK(OnDragDataGet), this);
    if (!bRichText)
        gtk_target_list_remove(gtk_text_buffer_get_copy_target_list(fBuffer),
            gdk_atom_intern_static_string("GTK_TEXT_BUFFER_CONTENTS"));
    g_signal_connect_after(tv, "draw", G_CALLBACK(OnDrawAfter), this);
    if (fShown.Chars() > 0) {
        const std::string shown = fShown.Shown();
        ++fSyncing;
        gtk_text_buffer_set_text(fBuffer, shown.c_str(), int(shown.size()));
        --fSyncing;
    }
    ApplyStyle(tv);
    return tv;
}

bool LCocoaEditViewImpl::HasTextFocus() const
{
    return fTextView && gtk_widget_has_focus(GTK_WIDGET(fTextView));
}

void LCocoaEditViewImpl::Send(const void* key)
{
    LUiRef<LView> hold(this);
    LCocoaView::sendCommandWithKey(this, key, pWindow);
}

// --- text --------------------------------------------------------------------------------------

const std::u16string& LCocoaEditViewImpl::Utf16Text() const
{
    if (!fUtf16Valid) {
        fUtf16 = ToUtf16(fShown.Text());
        fUtf16Valid = true;
    }
    return fUtf16;
}

std::string LCocoaEditViewImpl::text() const
{
    return fShown.Text();
}

void LCocoaEditViewImpl::ReplaceAll(const std::string& utf8)
{
    Widget();
    LUiRef<LView> hold(this);
    // The wrapping is chosen before the text goes in, so that the new text is laid out only once.
    fHasLongRun = HasRunLongerThanAWord(utf8.data(), utf8.size());
    UpdateWrapMode();
    const std::string shown = fShown.Reset(utf8);
    fUtf16Valid = false;
    ++fInternal;
    ++fSyncing;
    gtk_text_buffer_set_text(fBuffer, shown.c_str(), int(shown.size()));
    // The caret goes to the beginning, where the view shows the text. Moving it has the view lay
    // the first paragraph out fully at once, and its measuring then takes that layout; otherwise
    // it is laid out twice (measured, then drawn).
    GtkTextIter start;
    gtk_text_buffer_get_start_iter(fBuffer, &start);
    gtk_text_buffer_place_cursor(fBuffer, &start);
    --fSyncing;
    --fInternal;
    fUndo.clear();
    fRedo.clear();
    DetectLinks();
}

void LCocoaEditViewImpl::setText(const char* utf8)
{
    ReplaceAll(LCocoaControl::ValidText(utf8));
    // A plain view changed by code while it has no focus reports nothing.
    if (HasTextFocus() || bRichText)
        textDidChange();
}

void LCocoaEditViewImpl::setInt(int value)
{
    char s[16];
    snprintf(s, sizeof s, "%d", value);
    setText(s);
}

bool LCocoaEditViewImpl::setTextFromFile(const char* path)
{
    std::string text;
    if (!platform::system::ReadWholeFile(path, text))
        return false;
    setText(text.c_str());
    return true;
}

void LCocoaEditViewImpl::getText(char* buffer, size_t count) const
{
    LCocoaControl::CopyText(text(), buffer, count);
}

void LCocoaEditViewImpl::getTextLong(LStringLongTemplate<char>& out) const
{
    out = text().c_str();
}

int LCocoaEditViewImpl::getInt() const
{
    std::string t = text();
    long long v = strtoll(t.c_str(), nullptr, 10);
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

void LCocoaEditViewImpl::setReadonly(bool readOnly)
{
    bReadOnly = readOnly;
    if (fTextView)
        gtk_text_view_set_editable(fTextView, !readOnly);
}

void LCocoaEditViewImpl::setEnabled(bool enabled)
{
    if (enabled == bEnabled)
        return;
    bEnabled = enabled;
    if (fTextView)
        gtk_widget_set_sensitive(GTK_WIDGET(fTextView), enabled);
    SetNeedsDisplay();
}

void LCocoaEditViewImpl::setPrompt(const char* prompt)
{
    fPrompt = LCocoaControl::ValidText(prompt);
    if (fTextView)
        gtk_widget_queue_draw(GTK_WIDGET(fTextView));
}

void LCocoaEditViewImpl::setVerticalScroll(bool on)
{
    bVerticalScroll = on;
    if (auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(Superview()))
        scroll->setScrollers(bHorizontalScroll, bVerticalScroll);
}

void LCocoaEditViewImpl::setHorizontalScroll(bool on)
{
    bHorizontalScroll = on;
    if (auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(Superview()))
        scroll->setScrollers(bHorizontalScroll, bVerticalScroll);
    if (!fTextView)
        return;
    UpdateWrapMode();
}

void LCocoaEditViewImpl::UpdateWrapMode()
{
    // Without horizontal scrolling the lines wrap at word boundaries, or at characters when the
    // text holds a run too long to be a word.
    if (fTextView)
        gtk_text_view_set_wrap_mode(fTextView,
            bHorizontalScroll ? GTK_WRAP_NONE
                : fHasLongRun ? GTK_WRAP_CHAR
                              : GTK_WRAP_WORD_CHAR);
}

void LCocoaEditViewImpl::setLeftMargin(double left, double right)
{
    fLeftMargin = std::max(0.0, left);
    fRightMargin = std::max(0.0, right);
    if (fTextView) {
        gtk_text_view_set_left_margin(fTextView, int(fLeftMargin));
        gtk_text_view_set_right_margin(fTextView, int(fRightMargin));
    }
}

// --- filtering, the limit and undo records ------------------------------------------------------

std::string LCocoaEditViewImpl::Filtered(const std::string& t) const
{
    if (bIsUppercase) {
        gchar* u = g_utf8_strup(t.c_str(), -1);
        std::string out = u;
        g_free(u);
        return out;
    }
    if (bIsLowercase) {
        gchar* l = g_utf8_strdown(t.c_str(), -1);
        std::string out = l;
        g_free(l);
        return out;
    }
    if (bIsNumber) {
        std::string out;
        for (char c : t)
            if (c >= '0' && c <= '9')
                out += c;
        return out;
    }
    return t;
}

void LCocoaEditViewImpl::Record(Change change)
{
    if (fUndoing)
        return;
    if (fActionDepth > 0)
        fCurrent.changes.push_back(std::move(change));
    else {
        Step s;
        s.changes.push_back(std::move(change));
        PushStep(std::move(s));
    }
}

void LCocoaEditViewImpl::textDidChange()
{
    if (bHandlingTextChange)
        return;
    // An edit of the user's is told also while the window does not have the keyboard: keys
    // kept while a modal window worked reach the view before the keyboard is back, and a text
    // dropped on the view does not give it the keyboard.
    bIsTextChanged = true;
    bHandlingTextChange = true;
    LUiRef<LView> hold(this);
    Send(&keyCmdTextChanged);
    bHandlingTextChange = false;
}

void LCocoaEditViewImpl::OnMarkSet(GtkTextBuffer*, GtkTextIter*, GtkTextMark* mark, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    if (self->fInternal > 0 || self->fSyncing > 0
        || mark != gtk_text_buffer_get_insert(self->fBuffer))
        return;
    // The caret moved by the user: styles set for typing no longer apply.
    if (!self->fApplyingTyping)
        self->fTypingStyles.clear();
    self->Send(&keyCmdTextSelectionChanged);
}

void LCocoaEditViewImpl::PushStep(Step step)
{
    if (fUndoing || step.changes.empty())
        return;
    fRedo.clear();
    // Typing of single characters one after another is one step.
    const Change& c = step.changes.front();
    bool typing = step.changes.size() == 1 && c.kind == Change::kInsert
        && g_utf8_strlen(c.text.c_str(), -1) == 1 && c.text != "\n";
    if (typing && !fUndo.empty() && fUndo.back().typing) {
        Change& last = fUndo.back().changes.back();
        if (last.kind == Change::kInsert
            && last.offset + size_t(g_utf8_strlen(last.text.c_str(), -1)) == c.offset) {
            last.text += c.text;
            return;
        }
    }
    step.typing = typing;
    fUndo.push_back(std::move(step));
    if (fUndo.size() > 1000)
        fUndo.erase(fUndo.begin());
}

void LCocoaEditViewImpl::ApplyStep(const Step& step, bool undoing)
{
    ++fInternal;
    fUndoing = true;
    auto apply = [&](const Change& c) {
        GtkTextIter s, e;
        const size_t chars = size_t(g_utf8_strlen(c.text.c_str(), -1));
        bool insert = (c.kind == Change::kInsert) != undoing;
        if (c.kind == Change::kStyle) {
            for (const char* kind : kStyleKinds) {
                s = IterAtFull(c.offset);
                e = IterAtFull(c.end);
                RemoveKind(kind, s, e);
            }
            for (const TagRun& r : undoing ? c.before : c.after) {
                s = IterAtFull(r.start);
                e = IterAtFull(r.end);
                gtk_text_buffer_apply_tag(fBuffer, Tag(r.tag), &s, &e);
            }
        } else if (insert) {
            Edit(c.offset, c.offset, c.text, false);
            s = IterAtFull(c.offset + chars);
            gtk_text_buffer_place_cursor(fBuffer, &s);
        } else {
            Edit(c.offset, c.offset + chars, std::string(), false);
            s = IterAtFull(c.offset);
            gtk_text_buffer_place_cursor(fBuffer, &s);
        }
    };
    if (undoing)
        for (auto it = step.changes.rbegin(); it != step.changes.rend(); ++it)
            apply(*it);
    else
        for (const Change& c : step.changes)
            apply(c);
    fUndoing = false;
    --fInternal;
    bool hasText = false;
    for (const Change& c : step.changes)
        hasText |= c.kind != Change::kStyle;
    if (hasText)
        textDidChange();
}

void LCocoaEditViewImpl::undo()
{
    if (fUndo.empty() || !fBuffer || !bEnabled || bReadOnly)
        return;
    LUiRef<LView> hold(this);
    Step s = std::move(fUndo.back());
    fUndo.pop_back();
    ApplyStep(s, true);
    fRedo.push_back(std::move(s));
}

void LCocoaEditViewImpl::redo()
{
    if (fRedo.empty() || !fBuffer || !bEnabled || bReadOnly)
        return;
    LUiRef<LView> hold(this);
    Step s = std::move(fRedo.back());
    fRedo.pop_back();
    ApplyStep(s, false);
    fUndo.push_back(std::move(s));
}

bool LCocoaEditViewImpl::performKeyEquivalent(const LUiEvent& event)
{
    if (!HasTextFocus())
        return false;
    return LCocoaView::performKeyEquivalentCommon(this, event);
}

// --- keys, clicks, focus, prompt ------------------------------------------------------------

gboolean LCocoaEditViewImpl::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    if (self->bIsSingleline) {
        switch (event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
        case GDK_KEY_Tab:
        case GDK_KEY_KP_Tab:
        case GDK_KEY_ISO_Left_Tab:
            return TRUE;
        default:
            break;
        }
    }
    guint mods = event->state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK);
    guint key = gdk_keyval_to_lower(event->keyval);
    if (key == GDK_KEY_z
        && (mods == GDK_CONTROL_MASK || mods == (GDK_CONTROL_MASK | GDK_SHIFT_MASK))) {
        if (mods & GDK_SHIFT_MASK)
            self->redo();
        else
            self->undo();
        return TRUE;
    }
    return FALSE;
}

gboolean LCocoaEditViewImpl::OnKeyRelease(GtkWidget*, GdkEventKey*, gpointer)
{
    return FALSE;
}

gboolean LCocoaEditViewImpl::OnSingleClickCheck(gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    self->fClickTimer = 0;
    if (!self->bIsDoubleClick) {
        if (!self->HasTextFocus() && self->fTextView)
            gtk_widget_grab_focus(GTK_WIDGET(self->fTextView));
        self->Send(&keyCmdTextClick);
    }
    self->Release();
    return G_SOURCE_REMOVE;
}

gboolean LCocoaEditViewImpl::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    LUiRef<LView> hold(self);
    if (event->button == 3 && event->type == GDK_BUTTON_PRESS) {
        LCocoaView::loseEditControlFocus(self);
        // Without a command the text view's own context menu opens.
        return LCocoaView::sendCommandWithKey(self, &keyCmdCtrlRightClick, self->pWindow);
    }
    if (event->button != 1)
        return FALSE;
    if (event->type == GDK_2BUTTON_PRESS) {
        self->bIsDoubleClick = true;
        self->Send(&keyCmdTextDoubleClick);
        return FALSE;
    }
    if (event->type != GDK_BUTTON_PRESS)
        return FALSE;
    GtkTextIter at, linkStart, linkEnd;
    self->fLinkPressOffset = self->IterAtEvent(event->window, event->x, event->y, at)
            && self->LinkBounds(at, linkStart, linkEnd)
        ? gtk_text_iter_get_offset(&linkStart)
        : -1;
    LCocoaView::loseEditControlFocus(self);
    self->bIsDoubleClick = false;
    if (self->fClickTimer) {
        g_source_remove(self->fClickTimer);
        self->fClickTimer = 0;
        self->Release();
    }
    int interval = 400;
    g_object_get(gtk_widget_get_settings(GTK_WIDGET(self->fTextView)), "gtk-double-click-time",
        &interval, nullptr);
    self->Retain();
    self->fClickTimer = g_timeout_add(guint(std::max(1, interval)), OnSingleClickCheck, self);
    return FALSE;
}

gboolean LCocoaEditViewImpl::OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data)
{
    static_cast<LCocoaEditViewImpl*>(data)->Send(&keyCmdTextFocusSet);
    return FALSE;
}

gboolean LCocoaEditViewImpl::OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data)
{
    static_cast<LCocoaEditViewImpl*>(data)->Send(&keyCmdTextFocusLost);
    return FALSE;
}

gboolean LCocoaEditViewImpl::OnDrawAfter(GtkWidget* widget, cairo_t* cr, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    if (self->fPrompt.empty() || gtk_text_buffer_get_char_count(self->fBuffer) > 0)
        return FALSE;
    if (!gtk_cairo_should_draw_window(
            cr, gtk_text_view_get_window(self->fTextView, GTK_TEXT_WINDOW_TEXT)))
        return FALSE;
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, self->fPrompt.c_str());
    int x = 0, y = 0;
    gtk_text_view_buffer_to_window_coords(self->fTextView, GTK_TEXT_WINDOW_TEXT,
        gtk_text_view_get_left_margin(self->fTextView),
        gtk_text_view_get_top_margin(self->fTextView), &x, &y);
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.67, 0.67, 0.67);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    g_object_unref(layout);
    return FALSE;
}

// --- offsets, lines, selection ---------------------------------------------------------------

size_t LCocoaEditViewImpl::OffsetOfUtf16(uint64_t index) const
{
    const std::string& t = fShown.Text();
    uint64_t u = 0;
    size_t offset = 0;
    for (const char* p = t.c_str(); *p && u < index; p = g_utf8_next_char(p), ++offset)
        u += g_utf8_get_char(p) > 0xFFFF ? 2 : 1;
    return offset;
}

uint64_t LCocoaEditViewImpl::Utf16OfOffset(size_t offset) const
{
    const std::string& t = fShown.Text();
    uint64_t u = 0;
    size_t i = 0;
    for (const char* p = t.c_str(); *p && i < offset; p = g_utf8_next_char(p), ++i)
        u += g_utf8_get_char(p) > 0xFFFF ? 2 : 1;
    return u;
}

bool LCocoaEditViewImpl::RangeIters(LTextRange range, GtkTextIter& s, GtkTextIter& e) const
{
    if (!fBuffer)
        return false;
    uint64_t total = Utf16Text().size();
    if (range.location > total || range.length > total - range.location)
        return false;
    s = IterAtFull(OffsetOfUtf16(range.location));
    e = IterAtFull(OffsetOfUtf16(range.location + range.length));
    return true;
}

int LCocoaEditViewImpl::getNumberOfLinesBasedOnLineBreaks() const
{
    const std::u16string& t = Utf16Text();
    if (t.empty())
        return 0;
    int n = 1 + int(std::count(t.begin(), t.end(), u'\n'));
    return t.back() == u'\n' ? n - 1 : n;
}

int LCocoaEditViewImpl::getNumberOfLinesWrappedText()
{
    Widget();
    if (gtk_text_buffer_get_char_count(fBuffer) == 0)
        return 0;
    GtkTextIter it;
    gtk_text_buffer_get_start_iter(fBuffer, &it);
    int n = 1;
    while (gtk_text_view_forward_display_line(fTextView, &it) && !gtk_text_iter_is_end(&it))
        ++n;
    return n;
}

uint64_t LCocoaEditViewImpl::getCharIndexOfLine(int line) const
{
    if (line < 0 || line >= getNumberOfLinesBasedOnLineBreaks())
        return 0;
    const std::u16string& u = Utf16Text();
    int n = 0;
    for (size_t i = 0; i < u.size(); ++i) {
        if (n == line)
            return i;
        if (u[i] == u'\n')
            ++n;
    }
    return 0;
}

uint64_t LCocoaEditViewImpl::getLineLength(uint64_t index) const
{
    const std::u16string& u = Utf16Text();
    if (index >= u.size())
        return 0;
    size_t start = index;
    while (start > 0 && u[start - 1] != u'\n')
        --start;
    size_t end = index;
    while (end < u.size() && u[end] != u'\n')
        ++end;
    if (end < u.size())
        ++end; // the line break
    return end - start;
}

int LCocoaEditViewImpl::getLineFromCharIndex(uint64_t index) const
{
    const std::u16string& u = Utf16Text();
    if (index >= u.size())
        return 0;
    return int(std::count(u.begin(), u.begin() + long(index), u'\n'));
}

LTextRange LCocoaEditViewImpl::selectedRange() const
{
    if (!fBuffer)
        return {};
    GtkTextIter s, e;
    gtk_text_buffer_get_selection_bounds(fBuffer, &s, &e);
    uint64_t a = Utf16OfOffset(FullAtIter(s));
    uint64_t b = Utf16OfOffset(FullAtIter(e));
    return LTextRange { a, b - a };
}

void LCocoaEditViewImpl::setSelectedRange(LTextRange range)
{
    GtkTextIter s, e;
    if (!RangeIters(range, s, e))
        return;
    gtk_text_buffer_select_range(fBuffer, &e, &s);
}

LTextRange LCocoaEditViewImpl::getSelectionRange() const
{
    LTextRange r = selectedRange();
    if (r.length > 0 || Utf16Text().empty())
        return r;
    // The character before the caret (the first one at the start).
    return LTextRange { r.location > 0 ? r.location - 1 : 0, 1 };
}

void LCocoaEditViewImpl::showSelection(bool show, bool focus)
{
    fShowSelection = show;
    Widget();
    const char* css = !show ? "text selection { background-color: transparent; }"
        : focus             ? "text selection { background-color: @theme_selected_bg_color; "
                              "color: @theme_selected_fg_color; }"
                            : "text selection { background-color: #d3d3d3; }";
    // One provider of the view's own, loaded again for each look.
    if (!fSelectionCss) {
        fSelectionCss = gtk_css_provider_new();
        gtk_style_context_add_provider(gtk_widget_get_style_context(GTK_WIDGET(fTextView)),
            GTK_STYLE_PROVIDER(fSelectionCss), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    }
    gtk_css_provider_load_from_data(fSelectionCss, css, -1, nullptr);
}

bool LCocoaEditViewImpl::isSelectionSameCharProperties() const
{
    if (!fBuffer)
        return true;
    GtkTextIter s, e;
    gtk_text_buffer_get_selection_bounds(fBuffer, &s, &e);
    GtkTextIter it = s;
    return !gtk_text_iter_forward_to_tag_toggle(&it, nullptr)
        || gtk_text_iter_compare(&it, &e) >= 0;
}

// --- styles ------------------------------------------------------------------------------------

GtkTextTag* LCocoaEditViewImpl::FindTag(const std::string& name) const
{
    return fBuffer ? gtk_text_tag_table_lookup(gtk_text_buffer_get_tag_table(fBuffer), name.c_str())
                   : nullptr;
}

std::string LCocoaEditViewImpl::KindOf(const std::string& name)
{
    size_t eq = name.find('=');
    return eq == std::string::npos ? std::string() : name.substr(0, eq);
}

GtkTextTag* LCocoaEditViewImpl::Tag(const std::string& name)
{
    Widget();
    if (GtkTextTag* t = FindTag(name))
        return t;
    std::string kind = KindOf(name);
    std::string value = name.substr(kind.size() + 1);
    GtkTextTag* t = gtk_text_buffer_create_tag(fBuffer, name.c_str(), nullptr);
    // Links stay above the styles.
    if (fLinkTag)
        gtk_text_tag_set_priority(
            fLinkTag, gtk_text_tag_table_get_size(gtk_text_buffer_get_tag_table(fBuffer)) - 1);
    if (kind == "b")
        g_object_set(t, "weight", PANGO_WEIGHT_BOLD, nullptr);
    else if (kind == "i")
        g_object_set(t, "style", PANGO_STYLE_ITALIC, nullptr);
    else if (kind == "u")
        g_object_set(t, "underline", PANGO_UNDERLINE_SINGLE, nullptr);
    else if (kind == "s")
        g_object_set(t, "strikethrough", TRUE, nullptr);
    else if (kind == "family")
        g_object_set(t, "family", value.c_str(), nullptr);
    else if (kind == "size")
        g_object_set(t, "size-points", NumberOf(value), nullptr);
    else if (kind == "fg")
        g_object_set(t, "foreground", value.c_str(), "underline-rgba-set", FALSE, nullptr);
    else if (kind == "bg")
        g_object_set(t, "background", value.c_str(), nullptr);
    else if (kind == "indent")
        g_object_set(t, "indent", int(NumberOf(value)), nullptr);
    else if (kind == "above")
        g_object_set(t, "pixels-above-lines", int(NumberOf(value)), nullptr);
    else if (kind == "below")
        g_object_set(t, "pixels-below-lines", int(NumberOf(value)), nullptr);
    else if (kind == "just") {
        int a = int(NumberOf(value));
        g_object_set(t, "justification",
            a == 1       ? GTK_JUSTIFY_CENTER
                : a == 2 ? GTK_JUSTIFY_RIGHT
                         : GTK_JUSTIFY_LEFT,
            nullptr);
    }
    return t;
}

std::string LCocoaEditViewImpl::TagValueAt(const std::string& kind, const GtkTextIter& at) const
{
    std::string prefix = kind + "=";
    GSList* tags = gtk_text_iter_get_tags(&at);
    std::string value;
    for (GSList* t = tags; t; t = t->next) {
        gchar* name = nullptr;
        g_object_get(t->data, "name", &name, nullptr);
        if (name && strncmp(name, prefix.c_str(), prefix.size()) == 0)
            value = name + prefix.size();
        g_free(name);
    }
    g_slist_free(tags);
    return value;
}

void LCocoaEditViewImpl::RemoveKind(
    const std::string& kind, const GtkTextIter& s, const GtkTextIter& e)
{
    std::string prefix = kind + "=";
    std::vector<GtkTextTag*> tags;
    gtk_text_tag_table_foreach(
        gtk_text_buffer_get_tag_table(fBuffer),
        +[](GtkTextTag* tag, gpointer d) {
            static_cast<std::vector<GtkTextTag*>*>(d)->push_back(tag);
        },
        &tags);
    for (GtkTextTag* t : tags) {
        gchar* name = nullptr;
        g_object_get(t, "name", &name, nullptr);
        if (name && strncmp(name, prefix.c_str(), prefix.size()) == 0)
            gtk_text_buffer_remove_tag(fBuffer, t, &s, &e);
        g_free(name);
    }
}

std::vector<LCocoaEditViewImpl::TagRun> LCocoaEditViewImpl::AllRuns(
    const GtkTextIter& start, const GtkTextIter& end) const
{
    std::vector<TagRun> runs = ShownRuns(start, end);
    for (TagRun& r : runs) {
        r.start = fShown.FullOf(r.start);
        r.end = fShown.FullOf(r.end);
    }
    return runs;
}

std::vector<LCocoaEditViewImpl::TagRun> LCocoaEditViewImpl::ShownRuns(
    const GtkTextIter& start, const GtkTextIter& end) const
{
    std::vector<TagRun> runs;
    GtkTextIter it = start, stop = end;
    while (gtk_text_iter_compare(&it, &stop) < 0) {
        GtkTextIter next = it;
        if (!gtk_text_iter_forward_to_tag_toggle(&next, nullptr)
            || gtk_text_iter_compare(&next, &stop) > 0)
            next = stop;
        GSList* tags = gtk_text_iter_get_tags(&it);
        for (GSList* t = tags; t; t = t->next) {
            gchar* name = nullptr;
            g_object_get(t->data, "name", &name, nullptr);
            if (name && *name)
                runs.push_back(TagRun { name, size_t(gtk_text_iter_get_offset(&it)),
                    size_t(gtk_text_iter_get_offset(&next)) });
            g_free(name);
        }
        g_slist_free(tags);
        if (gtk_text_iter_equal(&next, &it))
            break;
        it = next;
    }
    return runs;
}

bool LCocoaEditViewImpl::TagCovers(
    const std::string& name, const GtkTextIter& s, const GtkTextIter& e) const
{
    GtkTextTag* tag = FindTag(name);
    if (!tag || !gtk_text_iter_has_tag(&s, tag))
        return false;
    GtkTextIter it = s;
    if (!gtk_text_iter_forward_to_tag_toggle(&it, tag))
        return true;
    return gtk_text_iter_compare(&it, &e) >= 0;
}

void LCocoaEditViewImpl::ApplyStyleChange(
    const std::string& kind, const std::string& value, const GtkTextIter& s, const GtkTextIter& e)
{
    Change c;
    c.kind = Change::kStyle;
    c.offset = FullAtIter(s);
    c.end = FullAtIter(e);
    c.before = AllRuns(s, e);
    RemoveKind(kind, s, e);
    if (!value.empty())
        gtk_text_buffer_apply_tag(fBuffer, Tag(kind + "=" + value), &s, &e);
    c.after = AllRuns(s, e);
    Step step;
    step.changes.push_back(std::move(c));
    PushStep(std::move(step));
    if (bRichText)
        textDidChange();
}

void LCocoaEditViewImpl::SetStyle(
    const std::string& kind, const std::string& value, LTextRange range)
{
    Widget();
    if (range.length == 0) {
        fTypingStyles[kind] = value;
        return;
    }
    GtkTextIter s, e;
    if (!RangeIters(range, s, e))
        return;
    ApplyStyleChange(kind, value, s, e);
}

std::string LCocoaEditViewImpl::StyleAt(const std::string& kind, LTextRange range) const
{
    if (range.length == 0) {
        auto it = fTypingStyles.find(kind);
        if (it != fTypingStyles.end())
            return it->second;
        if (!fBuffer)
            return {};
        GtkTextIter at;
        gtk_text_buffer_get_iter_at_mark(fBuffer, &at, gtk_text_buffer_get_insert(fBuffer));
        if (gtk_text_iter_get_offset(&at) > 0)
            gtk_text_iter_backward_char(&at);
        return TagValueAt(kind, at);
    }
    GtkTextIter s, e;
    if (!RangeIters(range, s, e))
        return {};
    return TagValueAt(kind, s);
}

bool LCocoaEditViewImpl::FlagForRange(const char* kind, LTextRange range) const
{
    if (range.length == 0)
        return StyleAt(kind, range) == "1";
    GtkTextIter s, e;
    if (!RangeIters(range, s, e))
        return false;
    return TagCovers(std::string(kind) + "=1", s, e);
}

void LCocoaEditViewImpl::setBold(bool on, LTextRange range)
{
    SetStyle("b", on ? "1" : "", range);
}
bool LCocoaEditViewImpl::getBoldForRange(LTextRange range) const
{
    return FlagForRange("b", range);
}
void LCocoaEditViewImpl::setItalic(bool on, LTextRange range)
{
    SetStyle("i", on ? "1" : "", range);
}
bool LCocoaEditViewImpl::getItalicForRange(LTextRange range) const
{
    return FlagForRange("i", range);
}
void LCocoaEditViewImpl::setUnderline(bool on, LTextRange range)
{
    SetStyle("u", on ? "1" : "", range);
}
bool LCocoaEditViewImpl::getUnderlineForRange(LTextRange range) const
{
    return FlagForRange("u", range);
}
void LCocoaEditViewImpl::setStrikeOut(bool on, LTextRange range)
{
    SetStyle("s", on ? "1" : "", range);
}
bool LCocoaEditViewImpl::getStrikeOutForRange(LTextRange range) const
{
    return FlagForRange("s", range);
}

void LCocoaEditViewImpl::setFontSize(double points, LTextRange range)
{
    if (!(points > 0) || points > 10000)
        return;
    SetStyle("size", Number(points), range);
}

double LCocoaEditViewImpl::getFontSizeForRange(LTextRange range) const
{
    std::string v = StyleAt("size", range);
    if (!v.empty())
        return NumberOf(v);
    return font().EffectiveSize();
}

void LCocoaEditViewImpl::setFont(const char* family, LTextRange range)
{
    std::string f = LCocoaControl::ValidText(family);
    if (f.empty())
        return;
    SetStyle("family", f, range);
}

bool LCocoaEditViewImpl::getFontForRange(LTextRange range, char* family) const
{
    if (!family)
        return false;
    family[0] = 0;
    std::string name;
    if (range.length == 0)
        name = StyleAt("family", range);
    else {
        GtkTextIter s, e;
        if (!RangeIters(range, s, e))
            return false;
        name = TagValueAt("family", s);
        // One family over the whole range: no run of it changes inside.
        GtkTextIter it = s;
        while (
            gtk_text_iter_forward_to_tag_toggle(&it, nullptr) && gtk_text_iter_compare(&it, &e) < 0)
            if (TagValueAt("family", it) != name)
                return false;
    }
    if (name.empty())
        name = font().EffectiveFamily();
    LCocoaControl::CopyText(name, family, 260);
    return true;
}

void LCocoaEditViewImpl::setFontColor(const LTextColor* color, LTextRange range)
{
    LTextColor c = color ? *color : LTextColor {};
    SetStyle("fg", ColorName(c), range);
}

LTextColor LCocoaEditViewImpl::getFontColorForRange(LTextRange range) const
{
    std::string v = StyleAt("fg", range);
    return v.empty() ? LTextColor {} : ColorOf(v);
}

void LCocoaEditViewImpl::setBackColor(const LTextColor* color, LTextRange range)
{
    SetStyle("bg", color ? ColorName(*color) : std::string(), range);
}

bool LCocoaEditViewImpl::getBackColorForRange(LTextRange range, LTextColor& color) const
{
    std::string v = StyleAt("bg", range);
    if (v.empty())
        return false;
    color = ColorOf(v);
    return true;
}

bool LCocoaEditViewImpl::ParagraphIters(LTextRange range, GtkTextIter& s, GtkTextIter& e) const
{
    if (!RangeIters(range, s, e))
        return false;
    // Whole paragraphs of the text: the lines of a paragraph cut in pieces are taken together.
    gtk_text_iter_set_line_offset(&s, 0);
    while (gtk_text_iter_get_offset(&s) > 0
        && fShown.IsBreak(size_t(gtk_text_iter_get_offset(&s) - 1))) {
        gtk_text_iter_backward_char(&s);
        gtk_text_iter_set_line_offset(&s, 0);
    }
    for (;;) {
        if (!gtk_text_iter_ends_line(&e))
            gtk_text_iter_forward_to_line_end(&e);
        const bool cut = fShown.IsBreak(size_t(gtk_text_iter_get_offset(&e)));
        gtk_text_iter_forward_char(&e); // the paragraph's break
        if (!cut)
            break;
    }
    return !gtk_text_iter_equal(&s, &e);
}

void LCocoaEditViewImpl::SetParagraphStyle(
    const std::string& kind, const std::string& value, LTextRange range)
{
    GtkTextIter s, e;
    if (!ParagraphIters(range, s, e))
        return;
    ApplyStyleChange(kind, value, s, e);
}

float LCocoaEditViewImpl::ParagraphValue(const char* kind, LTextRange range) const
{
    GtkTextIter s, e;
    if (!ParagraphIters(range, s, e))
        return 0;
    return float(NumberOf(TagValueAt(kind, s)));
}

void LCocoaEditViewImpl::setFirstLineHeadIndent(float v, LTextRange r)
{
    SetParagraphStyle("indent", Number(v), r);
}
float LCocoaEditViewImpl::getFirstLineHeadIndent(LTextRange r) const
{
    return ParagraphValue("indent", r);
}
void LCocoaEditViewImpl::setParagraphSpaceBefore(float v, LTextRange r)
{
    SetParagraphStyle("above", Number(v), r);
}
float LCocoaEditViewImpl::getParagraphSpaceBefore(LTextRange r) const
{
    return ParagraphValue("above", r);
}
void LCocoaEditViewImpl::setParagraphSpaceAfter(float v, LTextRange r)
{
    SetParagraphStyle("below", Number(v), r);
}
float LCocoaEditViewImpl::getParagraphSpaceAfter(LTextRange r) const
{
    return ParagraphValue("below", r);
}
void LCocoaEditViewImpl::setAlignmentX(int alignment, LTextRange r)
{
    if (alignment < 0 || alignment > 2)
        return;
    SetParagraphStyle("just", Number(alignment), r);
}
int LCocoaEditViewImpl::getAlignmentX(LTextRange r) const
{
    GtkTextIter s, e;
    if (!ParagraphIters(r, s, e))
        return 0;
    std::string v = TagValueAt("just", s);
    if (!v.empty())
        return int(NumberOf(v));
    return iAlignment >= 0 ? iAlignment : 0;
}

// --- RTF ---------------------------------------------------------------------------------------

std::string LCocoaEditViewImpl::rtfText() const
{
    std::vector<LCocoaEditRtf::Run> runs;
    if (!fBuffer) {
        LCocoaEditRtf::Run r;
        r.text = fShown.Text();
        runs.push_back(r);
        return LCocoaEditRtf::Write(runs);
    }
    GtkTextIter it, end;
    gtk_text_buffer_get_bounds(fBuffer, &it, &end);
    while (!gtk_text_iter_equal(&it, &end)) {
        GtkTextIter next = it;
        if (!gtk_text_iter_forward_to_tag_toggle(&next, nullptr))
            next = end;
        LCocoaEditRtf::Run r;
        r.text = fShown.Slice(FullAtIter(it), FullAtIter(next));
        r.bold = TagValueAt("b", it) == "1";
        r.italic = TagValueAt("i", it) == "1";
        r.underline = TagValueAt("u", it) == "1";
        r.strike = TagValueAt("s", it) == "1";
        r.family = TagValueAt("family", it);
        std::string size = TagValueAt("size", it);
        r.size = size.empty() ? 0 : NumberOf(size);
        std::string fg = TagValueAt("fg", it);
        if (!fg.empty()) {
            r.hasColor = true;
            r.color = ColorOf(fg);
        }
        runs.push_back(std::move(r));
        it = next;
    }
    return LCocoaEditRtf::Write(runs);
}

void LCocoaEditViewImpl::getRTFTextLong(LStringLongTemplate<char>& out) const
{
    out = rtfText().c_str();
}

void LCocoaEditViewImpl::setRTFText(const char* data, size_t length)
{
    if (!data || length == 0)
        return;
    std::vector<LCocoaEditRtf::Run> runs;
    if (!LCocoaEditRtf::Read(data, length, runs))
        return;
    // The whole text first, then each run's styles over its place.
    std::string whole;
    std::vector<size_t> ends;
    size_t chars = 0;
    for (const auto& r : runs) {
        const std::string t = LCocoaControl::ValidText(r.text.c_str());
        whole += t;
        chars += size_t(g_utf8_strlen(t.c_str(), gssize(t.size())));
        ends.push_back(chars);
    }
    ReplaceAll(whole);
    ++fInternal;
    fUndoing = true;
    for (size_t i = 0; i < runs.size(); ++i) {
        const LCocoaEditRtf::Run& r = runs[i];
        GtkTextIter s = IterAtFull(i > 0 ? ends[i - 1] : 0), e = IterAtFull(ends[i]);
        RemoveKind("b", s, e);
        RemoveKind("i", s, e);
        RemoveKind("u", s, e);
        RemoveKind("s", s, e);
        RemoveKind("family", s, e);
        RemoveKind("size", s, e);
        RemoveKind("fg", s, e);
        if (r.bold)
            gtk_text_buffer_apply_tag(fBuffer, Tag("b=1"), &s, &e);
        if (r.italic)
            gtk_text_buffer_apply_tag(fBuffer, Tag("i=1"), &s, &e);
        if (r.underline)
            gtk_text_buffer_apply_tag(fBuffer, Tag("u=1"), &s, &e);
        if (r.strike)
            gtk_text_buffer_apply_tag(fBuffer, Tag("s=1"), &s, &e);
        if (!r.family.empty())
            gtk_text_buffer_apply_tag(
                fBuffer, Tag("family=" + LCocoaControl::ValidText(r.family.c_str())), &s, &e);
        if (r.size > 0 && r.size < 10000)
            gtk_text_buffer_apply_tag(fBuffer, Tag("size=" + Number(r.size)), &s, &e);
        if (r.hasColor)
            gtk_text_buffer_apply_tag(fBuffer, Tag("fg=" + ColorName(r.color)), &s, &e);
    }
    fUndoing = false;
    --fInternal;
    textDidChange();
}

bool LCocoaEditViewImpl::setRTFTextFromFile(const char* path)
{
    std::string data;
    if (!platform::system::ReadWholeFile(path, data))
        return false;
    setRTFText(data.data(), data.size());
    return true;
}
