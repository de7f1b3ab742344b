// A text's layout kept from one paint to the next by the object that paints the text, so that
// painting an unchanged text lays nothing out: the layout is made again only when the text, its
// font, underline, strikeout, box or format changes. The layout does not depend on the transform
// or the resolution it is drawn at, so one layout serves the screen at every zoom and scale.
//
// The kept layout serves the main thread only; a paint on another thread lays its text out for
// that paint, as without a cache. A copy starts empty (copied objects paint their own text).
// At most kKeptLayouts layouts are kept at a time: when another one is made, the one used
// longest ago is given up (and made again when its text is next painted), so that a design of
// a great many texts does not keep a layout for each.
#pragma once

#include <cstddef>
#include <memory>

class LCocoaTextManagerImpl;

class LTextLayoutCache {
public:
    static constexpr size_t kKeptLayouts = 4096;

    LTextLayoutCache();
    ~LTextLayoutCache();
    LTextLayoutCache(const LTextLayoutCache&);
    LTextLayoutCache& operator=(const LTextLayoutCache&);

    // The kept layout when called on the main thread (made on first use), else null.
    LCocoaTextManagerImpl* Get();
    // A number that grows with every change to the kept layout, each of which has the text laid
    // out again (0 when there is no layout yet).
    unsigned Changes() const;
    // The bytes of the text the kept layout laid out at its last layout: all of them, or what
    // the box can show of a long text (0 when there is no layout yet).
    size_t LaidOutBytes() const;

    // How many layouts are kept now (all caches together).
    static size_t KeptLayouts();

private:
    void Unlink();
    std::unique_ptr<LCocoaTextManagerImpl> fManager;
    // The caches that keep a layout, the one used last first.
    LTextLayoutCache* fNewer = nullptr;
    LTextLayoutCache* fOlder = nullptr;
};
