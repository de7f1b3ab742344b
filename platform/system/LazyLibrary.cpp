#include "platform/system/LazyLibrary.h"

#include <dlfcn.h>

namespace platform::system {

void* LazyLibrary::Handle()
{
    std::call_once(fOnce, [this] {
        fHandle = dlopen(fSoname, RTLD_NOW | RTLD_LOCAL);
        if (!fHandle) {
            const char* why = dlerror();
            fError = why ? why : std::string(fSoname) + ": cannot be opened";
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
