#include "lfw/mac/LTextLayoutCache.h"

#include "lfw/mac/cocoa/LCocoaTextManagerImpl.h"

namespace {
// The caches keeping a layout, on the main thread: the one used last, the one used longest ago,
// and how many.
LTextLayoutCache* gNewest = nullptr;
LTextLayoutCache* gOldest = nullptr;
size_t gKept = 0;
} // namespace

LTextLayoutCache::LTextLayoutCache() = default;

LTextLayoutCache::~LTextLayoutCache()
{
    if (fManager)
        Unlink();
}

void LTextLayoutCache::Unlink()
{
    (fNewer ? fNewer->fOlder : gNewest) = fOlder;
    (fOlder ? fOlder->fNewer : gOldest) = fNewer;
    fNewer = fOlder = nullptr;
    --gKept;
}

size_t LTextLayoutCache::KeptLayouts()
{
    return gKept;
}

LTextLayoutCache::LTextLayoutCache(const LTextLayoutCache&)
{
}

LTextLayoutCache& LTextLayoutCache::operator=(const LTextLayoutCache&)
{
    // The layout is of this object's own text: it stays and follows the text when it changes.
    return *this;
}

LCocoaTextManagerImpl* LTextLayoutCache::Get()
{
    if (!LIsMainThread())
        return nullptr;
    if (fManager) {
        if (gNewest == this)
            return fManager.get();
        Unlink();
    } else {
        fManager = std::make_unique<LCocoaTextManagerImpl>();
        if (gKept >= kKeptLayouts && gOldest) {
            LTextLayoutCache* oldest = gOldest;
            oldest->Unlink();
            oldest->fManager.reset();
        }
    }
    fOlder = gNewest;
    (gNewest ? gNewest->fNewer : gOldest) = this;
    gNewest = this;
    ++gKept;
    return fManager.get();
}

unsigned LTextLayoutCache::Changes() const
{
    return fManager ? fManager->GetTextLayout().Changes() : 0;
}

size_t LTextLayoutCache::LaidOutBytes() const
{
    return fManager ? fManager->GetTextLayout().LaidOutBytes() : 0;
}
