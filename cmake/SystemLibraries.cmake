# The Linux libraries that stand in for the platform interfaces (see docs/architecture.md).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(VT_GLIB REQUIRED IMPORTED_TARGET glib-2.0 gobject-2.0 gio-2.0)
pkg_check_modules(VT_CAIRO REQUIRED IMPORTED_TARGET cairo cairo-pdf cairo-ps cairo-svg cairo-png)
pkg_check_modules(VT_PANGO REQUIRED IMPORTED_TARGET pango pangocairo fontconfig)
pkg_check_modules(VT_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 gtk+-unix-print-3.0 x11)
pkg_check_modules(VT_IMAGEIO REQUIRED IMPORTED_TARGET libpng libjpeg)
find_library(VT_GIF_LIBRARY gif REQUIRED)

# The codec libraries of the rarer formats and the TLS library are not linked: the platform layer
# opens them on first use (platform/system/LazyLibrary.h), so that starting the program does not
# pay for loading them. Only their headers are used at build time, and the names under which the
# dynamic loader finds them (their sonames) are taken from the libraries installed here.
pkg_check_modules(VT_TIFF REQUIRED libtiff-4)
pkg_check_modules(VT_OPENJPEG REQUIRED libopenjp2)
pkg_check_modules(VT_RAW REQUIRED libraw_r)
pkg_check_modules(VT_SSL REQUIRED IMPORTED_TARGET openssl)
# libcups has no pkg-config module: its header and library are looked for where they lie.
find_path(VT_CUPS_INCLUDE_DIRS cups/cups.h REQUIRED)

if(CMAKE_OBJDUMP)
    set(VT_OBJDUMP ${CMAKE_OBJDUMP})
else()
    find_program(VT_OBJDUMP objdump REQUIRED)
endif()

# Sets out to the soname of the shared library "lib<name>.so" found where the pkg-config module
# (its variables under prefix) says; configuration stops when there is none.
function(vt_library_soname out prefix name)
    find_library(VT_SONAME_SOURCE_${name} NAMES lib${name}.so
        HINTS ${${prefix}_LIBRARY_DIRS} NO_CACHE)
    set(library "${VT_SONAME_SOURCE_${name}}")
    if(NOT library)
        message(FATAL_ERROR "The shared library lib${name}.so was not found (pkg-config module "
            "${prefix}, library folders '${${prefix}_LIBRARY_DIRS}'). Install its development "
            "package (scripts/setup.sh).")
    endif()
    execute_process(COMMAND ${VT_OBJDUMP} -p ${library}
        OUTPUT_VARIABLE headers RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0 OR NOT headers MATCHES "\n[ \t]*SONAME[ \t]+([^ \t\r\n]+)")
        message(FATAL_ERROR "No soname could be read from ${library} with ${VT_OBJDUMP} -p.")
    endif()
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    message(STATUS "Opened on first use: ${CMAKE_MATCH_1} (${library})")
endfunction()

vt_library_soname(VT_TIFF_SONAME VT_TIFF tiff)
vt_library_soname(VT_OPENJPEG_SONAME VT_OPENJPEG openjp2)
vt_library_soname(VT_RAW_SONAME VT_RAW raw_r)
vt_library_soname(VT_SSL_SONAME VT_SSL ssl)
vt_library_soname(VT_CRYPTO_SONAME VT_SSL crypto)
vt_library_soname(VT_CUPS_SONAME VT_CUPS cups)

# Their headers and sonames, for the platform folders that open them.
add_library(vt_late_libraries INTERFACE)
target_include_directories(vt_late_libraries INTERFACE
    ${VT_TIFF_INCLUDE_DIRS} ${VT_OPENJPEG_INCLUDE_DIRS} ${VT_RAW_INCLUDE_DIRS}
    ${VT_SSL_INCLUDE_DIRS} ${VT_CUPS_INCLUDE_DIRS})
target_compile_definitions(vt_late_libraries INTERFACE
    VT_TIFF_SONAME="${VT_TIFF_SONAME}" VT_OPENJPEG_SONAME="${VT_OPENJPEG_SONAME}"
    VT_RAW_SONAME="${VT_RAW_SONAME}" VT_SSL_SONAME="${VT_SSL_SONAME}"
    VT_CRYPTO_SONAME="${VT_CRYPTO_SONAME}" VT_CUPS_SONAME="${VT_CUPS_SONAME}")

add_library(vt_system_libraries INTERFACE)
target_link_libraries(vt_system_libraries INTERFACE
    PkgConfig::VT_GLIB PkgConfig::VT_CAIRO PkgConfig::VT_PANGO PkgConfig::VT_GTK
    PkgConfig::VT_IMAGEIO ${VT_GIF_LIBRARY} Threads::Threads ${CMAKE_DL_LIBS})
