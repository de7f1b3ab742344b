#include "platform/system/LazyLibrary.h"

#include <cstdio>
#include <dlfcn.h>

namespace platform::system {

void* LazyLibrary::Handle()
{
    std::call_once(fOnce, [this] {
        fHandle = dlopen(fSoname, RTLD_NOW | RTLD_LOCAL);
        if (!fHandle) {
            const char* why = dlerror();
            if (why)
                std::snprintf(fError, sizeof fError, "%s", why);
            else
                std::snprintf(fError, sizeof fError, "%s: cannot be opened", fSoname);
        }
    });
    return fHandle;
}

void* LazyLibrary::Address(const char* name)
{
    void* handle = Handle();
    return handle && name ? dlsym(handle, name) : nullptr;
}

std::string LazyLibrary::Error()
{
    Handle();
    return fError;
}

} // namespace platform::system
