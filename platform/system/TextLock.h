// One thread at a time works with fonts and text: lays out, measures or draws text, and makes or
// lets go of fonts, layouts and font maps.
//
// The system's cairo keeps one font object for every thread that asks for the same face, size,
// transform and options, and the glyphs of all fonts in one cache; its bookkeeping of them is not
// safe when threads make, draw and let go of fonts at the same time: a font let go of on one
// thread while another takes it up again aborts the program, and two threads filling the glyph
// cache while a font goes can each wait for the other for ever. So every use of Pango, and of
// cairo with text, holds this lock: the program's text layer takes it, and so does code that
// calls Pango itself. It may be taken again by the thread that holds it.
//
// The lock stays until the program ends, for threads still drawing then. What a thread's fonts
// hang on (its font map) goes when the thread ends; ReleaseAtThreadEnd has that done under the
// lock, before the system's own clean-up of the thread would do it without.
#pragma once

namespace platform::system {

class TextLock {
public:
    TextLock();
    ~TextLock();
    TextLock(const TextLock&) = delete;
    TextLock& operator=(const TextLock&) = delete;

    // Has `release` run, holding the lock, when the calling thread ends; each function once per
    // thread however often it is given. Not on the program's first thread, whose font map (GTK's
    // too) stays until the program ends.
    static void ReleaseAtThreadEnd(void (*release)());

    // How often the calling thread has taken the lock: a document that compares it before and
    // after its pages are drawn knows whether they hold texts, and when they hold none, lets the
    // system write out their pictures without the lock (seconds for large photographs, during
    // which the window's thread could draw no text).
    static unsigned long TakenOnThisThread();
};

} // namespace platform::system
