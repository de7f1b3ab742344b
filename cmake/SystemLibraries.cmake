# The Linux libraries that stand in for the platform interfaces (see docs/architecture.md).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(VT_GLIB REQUIRED IMPORTED_TARGET glib-2.0 gobject-2.0 gio-2.0)
pkg_check_modules(VT_CAIRO REQUIRED IMPORTED_TARGET cairo cairo-pdf cairo-png)
pkg_check_modules(VT_PANGO REQUIRED IMPORTED_TARGET pango pangocairo fontconfig)
pkg_check_modules(VT_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 x11)
pkg_check_modules(VT_IMAGEIO REQUIRED IMPORTED_TARGET libpng libjpeg libtiff-4 libopenjp2 libraw_r)
pkg_check_modules(VT_SSL REQUIRED IMPORTED_TARGET openssl)
find_library(VT_GIF_LIBRARY gif REQUIRED)

add_library(vt_system_libraries INTERFACE)
target_link_libraries(vt_system_libraries INTERFACE
    PkgConfig::VT_GLIB PkgConfig::VT_CAIRO PkgConfig::VT_PANGO PkgConfig::VT_GTK
    PkgConfig::VT_IMAGEIO PkgConfig::VT_SSL ${VT_GIF_LIBRARY} Threads::Threads)
