// The text view's long runs of marks: an invisible tag lies over what is not shown of them, so
// that GTK lays out a bounded part of each (shaping a whole run of half a million accents would
// hold the window for hours). The buffer keeps every character: what is read back, undone or
// copied is the whole text.
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"

#include <utility>

void LCocoaEditViewImpl::HideMarksPastShown()
{
    if (!fBuffer)
        return;
    const std::string t = text();
    std::vector<platform::text::UnshownRange> unshown
        = platform::text::MarksPastShown(t.data(), t.size());
    // The tag moves with the text around it: where the runs lie as before, it lies over them.
    if (unshown == fUnshown)
        return;
    if (!fUnshownTag)
        fUnshownTag = gtk_text_buffer_create_tag(fBuffer, nullptr, "invisible", TRUE, nullptr);
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(fBuffer, &start, &end);
    gtk_text_buffer_remove_tag(fBuffer, fUnshownTag, &start, &end);
    for (const platform::text::UnshownRange& r : unshown) {
        gtk_text_buffer_get_iter_at_offset(fBuffer, &start, gint(r.charBegin));
        gtk_text_buffer_get_iter_at_offset(fBuffer, &end, gint(r.charEnd));
        gtk_text_buffer_apply_tag(fBuffer, fUnshownTag, &start, &end);
    }
    fUnshown = std::move(unshown);
}
