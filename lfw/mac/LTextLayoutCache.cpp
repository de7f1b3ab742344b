#include "lfw/mac/LTextLayoutCache.h"

#include "lfw/mac/cocoa/LCocoaTextManagerImpl.h"

LTextLayoutCache::LTextLayoutCache() = default;

LTextLayoutCache::~LTextLayoutCache() = default;

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
    if (!fManager)
        fManager = std::make_unique<LCocoaTextManagerImpl>();
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
