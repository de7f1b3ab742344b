// Shared libraries opened on first use. The program does not link the libraries it needs only
// for some files or connections (the TIFF, JPEG 2000 and camera-raw codecs, TLS): the dynamic
// loader would map them, with everything they depend on, before the first window, and starting
// the program would pay for them every time. The platform files that use such a library define
// its functions themselves, under the library's own names and with the prototypes of its
// headers, and each definition calls the library's function, looked up once here.
//
// A library is opened with dlopen(RTLD_NOW | RTLD_LOCAL) by its soname the first time one of its
// functions is wanted, from whichever thread, and stays open. When it cannot be opened, every
// lookup gives null (and the caller answers as the library does on failure); the loader's reason
// is kept in Error().
#pragma once

#include <mutex>
#include <string>

namespace platform::system {

class LazyLibrary {
public:
    // soname must outlive the object (a literal).
    explicit constexpr LazyLibrary(const char* soname)
        : fSoname(soname)
    {
    }
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    const char* Soname() const { return fSoname; }
    // The handle of dlopen, opening the library on the first call; null when it cannot be opened.
    void* Handle();
    // Whether the library could be opened (opens it).
    bool Loaded() { return Handle() != nullptr; }
    // The address of a symbol of the library (or of the libraries it depends on); null when the
    // library cannot be opened or has no such symbol.
    void* Address(const char* name);
    // The same as a pointer to the function type F (write decltype(functionName)).
    template <typename F> F* Function(const char* name)
    {
        return reinterpret_cast<F*>(Address(name));
    }
    // Why the library could not be opened (opens it); "" when it is open.
    std::string Error();

private:
    const char* fSoname;
    std::once_flag fOnce;
    void* fHandle = nullptr;
    // A plain array, not a std::string: the object is constant-initialised (constinit), so that
    // static constructors of other files may call the library's functions, and not every standard
    // library's string can be made in a constant expression.
    char fError[512] = {};
};

} // namespace platform::system

// The library's own definition of a function its header declares, as a pointer of the declared
// type (null when missing). Meant for a function-local static in the forwarding definition, so the
// lookup happens once.
#define VT_LAZY_FUNCTION(library, function) (library).Function<decltype(function)>(#function)
