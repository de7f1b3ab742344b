// The edit view's text and what its text view shows of it (LCocoaEditShownText.h). Every edit the
// text view would make (typing, deleting, pasting, dropping) is stopped and made to the text
// instead; the buffer is then given the change of what it shows. Copying and dragging take the
// text.
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaTextFormatters.h"

#include <cstring>
#include <optional>
#include <utility>

namespace {

size_t Chars(const std::string& utf8)
{
    return size_t(g_utf8_strlen(utf8.data(), gssize(utf8.size())));
}

} // namespace

GtkTextIter LCocoaEditViewImpl::IterAtFull(size_t full) const
{
    GtkTextIter at;
    gtk_text_buffer_get_iter_at_offset(fBuffer, &at, gint(fShown.ShownOf(full)));
    return at;
}

size_t LCocoaEditViewImpl::FullAtIter(const GtkTextIter& at) const
{
    return fShown.FullOf(size_t(gtk_text_iter_get_offset(&at)));
}

void LCocoaEditViewImpl::ShowChange(const LCocoaEditShownText::Change& change)
{
    if (!fBuffer || change.Empty())
        return;
    ++fSyncing;
    GtkTextIter start, end;
    gtk_text_buffer_get_iter_at_offset(fBuffer, &start, gint(change.start));
    if (change.end > change.start) {
        gtk_text_buffer_get_iter_at_offset(fBuffer, &end, gint(change.end));
        gtk_text_buffer_delete(fBuffer, &start, &end);
    }
    if (!change.text.empty())
        gtk_text_buffer_insert(fBuffer, &start, change.text.data(), gint(change.text.size()));
    --fSyncing;
}

void LCocoaEditViewImpl::Edit(
    size_t from, size_t to, const std::string& text, bool typed, bool beforeBreak)
{
    // The wrapping is chosen before the buffer changes.
    if (!fHasLongRun && HasLongRun(text.data(), text.size())) {
        fHasLongRun = true;
        UpdateWrapMode();
    }
    // Rich text: what the buffer is given again (the change of what it shows may reach past the
    // edit) takes its styles back, read at the places of the text before the edit.
    std::optional<LCocoaEditShownText> before;
    if (bRichText && fBuffer)
        before = fShown;
    const LCocoaEditShownText::Change change = fShown.Replace(from, to, text, beforeBreak);
    fUtf16Valid = false;
    if (!fBuffer)
        return;
    std::vector<TagRun> runs;
    if (before && change.end > change.start) {
        GtkTextIter s, e;
        gtk_text_buffer_get_iter_at_offset(fBuffer, &s, gint(change.start));
        gtk_text_buffer_get_iter_at_offset(fBuffer, &e, gint(change.end));
        const size_t inserted = Chars(text);
        auto moved = [&](size_t shown) {
            const size_t p = before->FullOf(shown);
            return p < from ? p : p >= to ? p - (to - from) + inserted : from;
        };
        for (TagRun& r : ShownRuns(s, e)) {
            r.start = moved(r.start);
            r.end = moved(r.end);
            if (r.end > r.start)
                runs.push_back(std::move(r));
        }
    }
    ShowChange(change);
    for (const TagRun& r : runs) {
        GtkTextIter s = IterAtFull(r.start), e = IterAtFull(r.end);
        gtk_text_buffer_apply_tag(fBuffer, Tag(r.tag), &s, &e);
    }
    if (typed && !text.empty()) {
        GtkTextIter start = IterAtFull(from), end = IterAtFull(from + Chars(text));
        // Typed text takes the character styles before it, then what was set for typing; not
        // the link mark, which is found anew below.
        if (gtk_text_iter_get_offset(&start) > 0) {
            GtkTextIter previous = start;
            gtk_text_iter_backward_char(&previous);
            GSList* tags = gtk_text_iter_get_tags(&previous);
            for (GSList* t = tags; t; t = t->next)
                if (GTK_TEXT_TAG(t->data) != fLinkTag)
                    gtk_text_buffer_apply_tag(fBuffer, GTK_TEXT_TAG(t->data), &start, &end);
            g_slist_free(tags);
        }
        for (const auto& [kind, value] : fTypingStyles) {
            RemoveKind(kind, start, end);
            if (!value.empty())
                gtk_text_buffer_apply_tag(fBuffer, Tag(kind + "=" + value), &start, &end);
        }
    }
    DetectLinks();
}

void LCocoaEditViewImpl::OnInsertText(
    GtkTextBuffer* buffer, GtkTextIter* at, gchar* text, gint len, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    if (self->fSyncing > 0)
        return; // the buffer is being given what it shows
    g_signal_stop_emission_by_name(buffer, "insert-text");
    if (!self->bEnabled)
        return;
    LUiRef<LView> hold(self);
    const std::string proposed(text, len >= 0 ? size_t(len) : strlen(text));
    const std::string filtered = self->Filtered(proposed);
    const uint64_t length = self->Utf16Text().size() + LCocoaUtf16Length(filtered);
    if (self->uTextMaximumLength == 0
        || (!filtered.empty() && length >= self->uTextMaximumLength)) {
        self->Send(&keyCmdTextMaximumLength);
        return;
    }
    if (filtered.empty())
        return;
    const size_t shown = size_t(gtk_text_iter_get_offset(at));
    const size_t full = self->fShown.FullOf(shown);
    Change c;
    c.kind = Change::kInsert;
    c.offset = full;
    c.text = filtered;
    self->Record(std::move(c));
    self->Edit(full, full, filtered, true, self->fShown.IsBreak(shown));
    // The iterator is left after the text, as GTK's own insertion leaves it.
    const size_t after = full + Chars(filtered);
    *at = self->IterAtFull(after);
    self->textDidChange();
    *at = self->IterAtFull(after);
}

void LCocoaEditViewImpl::OnDeleteRange(
    GtkTextBuffer* buffer, GtkTextIter* start, GtkTextIter* end, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    if (self->fSyncing > 0)
        return;
    g_signal_stop_emission_by_name(buffer, "delete-range");
    if (!self->bEnabled || self->uTextMaximumLength == 0) {
        if (self->bEnabled)
            self->Send(&keyCmdTextMaximumLength);
        return;
    }
    LUiRef<LView> hold(self);
    size_t a = size_t(gtk_text_iter_get_offset(start)), b = size_t(gtk_text_iter_get_offset(end));
    if (a > b)
        std::swap(a, b);
    size_t from = self->fShown.FullOf(a), to = self->fShown.FullOf(b);
    if (from == to && b == a + 1 && self->fShown.IsBreak(a)) {
        // A line end of the view's own is no character: Backspace after it or Delete before it
        // takes the character on its other side.
        GtkTextIter caret;
        gtk_text_buffer_get_iter_at_mark(buffer, &caret, gtk_text_buffer_get_insert(buffer));
        const size_t at = size_t(gtk_text_iter_get_offset(&caret));
        if (at == b && from > 0)
            --from;
        else if (at == a && to < self->fShown.Chars())
            ++to;
    }
    if (from < to) {
        Change c;
        c.kind = Change::kDelete;
        c.offset = from;
        c.text = self->fShown.Slice(from, to);
        self->Record(std::move(c));
        self->Edit(from, to, std::string(), false);
    }
    // Both iterators are left where the text went, as GTK's own deletion leaves them.
    *start = *end = self->IterAtFull(from);
    if (from < to) {
        self->textDidChange();
        *start = *end = self->IterAtFull(from);
    }
}

void LCocoaEditViewImpl::CopySelection()
{
    GtkTextIter s, e;
    if (!gtk_text_buffer_get_selection_bounds(fBuffer, &s, &e))
        return;
    const std::string t = fShown.Slice(FullAtIter(s), FullAtIter(e));
    gtk_clipboard_set_text(gtk_widget_get_clipboard(GTK_WIDGET(fTextView), GDK_SELECTION_CLIPBOARD),
        t.c_str(), gint(t.size()));
}

void LCocoaEditViewImpl::OnCopy(GtkTextView* view, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    // A buffer that holds the text itself is copied by GTK (with its rich text).
    if (self->fShown.Identity())
        return;
    g_signal_stop_emission_by_name(view, "copy-clipboard");
    self->CopySelection();
}

void LCocoaEditViewImpl::OnCut(GtkTextView* view, gpointer data)
{
    auto* self = static_cast<LCocoaEditViewImpl*>(data);
    if (self->fShown.Identity())
        return;
    g_signal_stop_emission_by_name(view, "cut-clipboard");
    self->CopySelection();
    gtk_text_buffer_delete_selection(self->fBuffer, TRUE, gtk_text_view_get_editable(view));
}

void LCocoaEditViewImpl::OnDragDataGet(
    GtkWidget* widget, GdkDragContext*, GtkSelectionData* data, guint info, guint, gpointer self)
{
    auto* view = static_cast<LCocoaEditViewImpl*>(self);
    GtkTextIter s, e;
    if (view->fShown.Identity() || info != guint(GTK_TEXT_BUFFER_TARGET_INFO_TEXT)
        || !gtk_text_buffer_get_selection_bounds(view->fBuffer, &s, &e))
        return;
    const std::string t = view->fShown.Slice(view->FullAtIter(s), view->FullAtIter(e));
    gtk_selection_data_set_text(data, t.c_str(), gint(t.size()));
    g_signal_stop_emission_by_name(widget, "drag-data-get");
}
