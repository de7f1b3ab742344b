// Link detection of the rich edit view: addresses found in the text carry an anonymous tag that
// shows them as links; a left click that starts and ends on one opens it.

#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"

#include "platform/desktop/Desktop.h"

#include <algorithm>
#include <cstring>

namespace LCocoaEditLinks {

namespace {

GRegex* Pattern()
{
    // A scheme or "www." and what follows up to a space or a character that ends an address in
    // running text; or a mail address.
    static GRegex* pattern
        = g_regex_new("(?:\\b(?:https?|ftp)://|\\bmailto:|\\bwww\\.)[^\\s<>\"]+"
                      "|(?<![\\w.%+-])[\\w.%+-]+@[\\w-]+(?:\\.[\\w-]+)*\\.[^\\W\\d_]{2,}\\b",
            GRegexCompileFlags(G_REGEX_CASELESS | G_REGEX_OPTIMIZE), GRegexMatchFlags(0), nullptr);
    return pattern;
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return g_ascii_strncasecmp(s.c_str(), prefix, std::strlen(prefix)) == 0;
}

// The address without what ends the sentence around it: trailing punctuation, and closing
// brackets that close nothing opened inside it.
std::string Trimmed(std::string s)
{
    for (;;) {
        if (s.empty())
            return s;
        const char last = s.back();
        if (std::strchr(".,;:!?'\"", last)) {
            s.pop_back();
            continue;
        }
        const char* open = last == ')' ? "(" : last == ']' ? "[" : last == '}' ? "{" : nullptr;
        if (open
            && std::count(s.begin(), s.end(), open[0]) < std::count(s.begin(), s.end(), last)) {
            s.pop_back();
            continue;
        }
        return s;
    }
}

} // namespace

std::vector<Found> Find(const std::string& utf8)
{
    std::vector<Found> found;
    GRegex* pattern = Pattern();
    if (!pattern || utf8.empty() || !g_utf8_validate(utf8.c_str(), gssize(utf8.size()), nullptr))
        return found;
    GMatchInfo* match = nullptr;
    g_regex_match_full(
        pattern, utf8.c_str(), gssize(utf8.size()), 0, GRegexMatchFlags(0), &match, nullptr);
    while (match && g_match_info_matches(match)) {
        gint start = 0, end = 0;
        if (g_match_info_fetch_pos(match, 0, &start, &end) && end > start) {
            const std::string text = Trimmed(utf8.substr(size_t(start), size_t(end - start)));
            const bool web = StartsWith(text, "http://") || StartsWith(text, "https://")
                || StartsWith(text, "ftp://");
            const bool www = StartsWith(text, "www.");
            const bool mailto = StartsWith(text, "mailto:");
            // A scheme or "www." with nothing after it is no address.
            const size_t prefix = web ? text.find("//") + 2 : www ? 4 : mailto ? 7 : 0;
            if (text.size() > prefix) {
                Found f;
                f.start = size_t(start);
                f.end = size_t(start) + text.size();
                const bool mail = !web && !www && !mailto;
                f.address = (www ? "http://" : mail ? "mailto:" : "") + text;
                found.push_back(std::move(f));
            }
        }
        g_match_info_next(match, nullptr);
    }
    g_match_info_free(match);
    return found;
}

} // namespace LCocoaEditLinks

void LCocoaEditViewImpl::DetectLinks()
{
    if (!bDetectLinks || !fBuffer || !fLinkTag)
        return;
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(fBuffer, &start, &end);
    gtk_text_buffer_remove_tag(fBuffer, fLinkTag, &start, &end);
    // Above every style tag made so far, so that links look alike whatever their colour.
    GtkTextTagTable* table = gtk_text_buffer_get_tag_table(fBuffer);
    gtk_text_tag_set_priority(fLinkTag, gtk_text_tag_table_get_size(table) - 1);
    const std::string& t = fShown.Text();
    size_t byte = 0;
    size_t offset = 0;
    for (const LCocoaEditLinks::Found& f : LCocoaEditLinks::Find(t)) {
        // Character offsets, counted on from the previous link.
        offset += size_t(g_utf8_strlen(t.c_str() + byte, gssize(f.start - byte)));
        const size_t length = size_t(g_utf8_strlen(t.c_str() + f.start, gssize(f.end - f.start)));
        GtkTextIter s = IterAtFull(offset), e = IterAtFull(offset + length);
        gtk_text_buffer_apply_tag(fBuffer, fLinkTag, &s, &e);
        byte = f.end;
        offset += length;
    }
}

bool LCocoaEditViewImpl::LinkBounds(
    const GtkTextIter& at, GtkTextIter& start, GtkTextIter& end) const
{
    if (!fLinkTag || !gtk_text_iter_has_tag(&at, fLinkTag))
        return false;
    start = end = at;
    if (!gtk_text_iter_starts_tag(&start, fLinkTag))
        gtk_text_iter_backward_to_tag_toggle(&start, fLinkTag);
    gtk_text_iter_forward_to_tag_toggle(&end, fLinkTag);
    return true;
}

std::string LCocoaEditViewImpl::LinkAddress(const GtkTextIter& start, const GtkTextIter& end) const
{
    const std::vector<LCocoaEditLinks::Found> found
        = LCocoaEditLinks::Find(fShown.Slice(FullAtIter(start), FullAtIter(end)));
    return found.empty() ? std::string() : found.front().address;
}

std::string LCocoaEditViewImpl::linkAt(uint64_t index) const
{
    if (!fBuffer || !fLinkTag)
        return {};
    GtkTextIter at = IterAtFull(OffsetOfUtf16(index)), start, end;
    return LinkBounds(at, start, end) ? LinkAddress(start, end) : std::string();
}

bool LCocoaEditViewImpl::IterAtEvent(GdkWindow* window, double x, double y, GtkTextIter& at) const
{
    if (!fTextView)
        return false;
    const GtkTextWindowType type = gtk_text_view_get_window_type(fTextView, window);
    if (type != GTK_TEXT_WINDOW_TEXT)
        return false;
    int bx = 0, by = 0;
    gtk_text_view_window_to_buffer_coords(fTextView, type, int(x), int(y), &bx, &by);
    int trailing = 0;
    if (!gtk_text_view_get_iter_at_position(fTextView, &at, &trailing, bx, by))
        return false;
    // The character must lie under the point, not merely be the nearest on the line.
    GdkRectangle box;
    gtk_text_view_get_iter_location(fTextView, &at, &box);
    return bx >= box.x && bx < box.x + std::max(box.width, 1) && by >= box.y
        && by < box.y + box.height;
}

gboolean LCocoaEditViewImpl::OnLinkRelease(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    const int pressed = self->fLinkPressOffset;
    self->fLinkPressOffset = -1;
    if (event->button != 1 || pressed < 0 || !self->bEnabled
        || gtk_text_buffer_get_has_selection(self->fBuffer))
        return FALSE;
    GtkTextIter at, start, end;
    if (!self->IterAtEvent(event->window, event->x, event->y, at)
        || !self->LinkBounds(at, start, end) || gtk_text_iter_get_offset(&start) != pressed)
        return FALSE;
    platform::desktop::OpenUri(self->LinkAddress(start, end));
    return FALSE;
}

gboolean LCocoaEditViewImpl::OnLinkMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    GtkTextIter at, start, end;
    const bool over = self->IterAtEvent(event->window, event->x, event->y, at)
        && self->LinkBounds(at, start, end);
    if (over == self->fOverLink)
        return FALSE;
    self->fOverLink = over;
    GdkWindow* window = gtk_text_view_get_window(self->fTextView, GTK_TEXT_WINDOW_TEXT);
    if (!window)
        return FALSE;
    GdkCursor* cursor
        = gdk_cursor_new_from_name(gdk_window_get_display(window), over ? "pointer" : "text");
    gdk_window_set_cursor(window, cursor);
    if (cursor)
        g_object_unref(cursor);
    return FALSE;
}
