# Every bench/*_bench.cpp is one Google Benchmark program. They are built, never run by test.sh.
find_package(benchmark REQUIRED)
file(GLOB vt_bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
foreach(src ${vt_bench_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE vt_all benchmark::benchmark_main)
    target_compile_definitions(${name} PRIVATE VT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()

# The digest benchmark compares the framework's SHA-1 with OpenSSL's, which it links itself.
if(TARGET sha1_bench)
    target_link_libraries(sha1_bench PRIVATE PkgConfig::VT_SSL)
endif()

# The picture-pages benchmark puts a huge-page request into the picture stores' allocation on one
# side of its comparison: their posix_memalign calls go through the program's own.
if(TARGET picture_pages_bench)
    target_link_options(picture_pages_bench PRIVATE -Wl,--wrap=posix_memalign)
endif()

# The imaging benchmark compares the framework's pixel routines with pixman's.
pkg_check_modules(VT_PIXMAN IMPORTED_TARGET pixman-1)
if(VT_PIXMAN_FOUND AND TARGET imaging_bench)
    target_link_libraries(imaging_bench PRIVATE PkgConfig::VT_PIXMAN)
endif()

# The raster-format benchmark compares the readers with stb_image where it is installed.
find_library(VT_STB_LIBRARY stb)
find_path(VT_STB_INCLUDE_DIR stb/stb_image.h)
if(VT_STB_LIBRARY AND VT_STB_INCLUDE_DIR AND TARGET raster_codecs_bench)
    target_link_libraries(raster_codecs_bench PRIVATE ${VT_STB_LIBRARY})
    target_include_directories(raster_codecs_bench PRIVATE ${VT_STB_INCLUDE_DIR})
    target_compile_definitions(raster_codecs_bench PRIVATE VT_HAVE_STB=1)
endif()

# The start-up benchmark starts the program and its reference, a plain GTK program of its own,
# and watches the display with Xlib.
find_package(X11)
if(X11_FOUND AND TARGET startup_bench)
    add_executable(startup_plain_window ${CMAKE_SOURCE_DIR}/bench/startup_plain_window.cpp)
    target_link_libraries(startup_plain_window PRIVATE PkgConfig::VT_GTK)
    target_link_libraries(startup_bench PRIVATE ${X11_LIBRARIES})
    target_compile_definitions(startup_bench PRIVATE VT_BINARY_DIR="${CMAKE_BINARY_DIR}"
        VT_STARTUP_PLAIN_WINDOW="$<TARGET_FILE:startup_plain_window>")
    add_dependencies(startup_bench startup_plain_window)
    if(TARGET vorantel)
        add_dependencies(startup_bench vorantel)
    endif()
endif()

# The palette benchmark times the framework's palettes as a command of their own, file in and
# file out, as it times ImageMagick's and netpbm's; it needs only the image library.
if(TARGET palette_bench)
    add_executable(palette_quantise ${CMAKE_SOURCE_DIR}/bench/palette_quantise.cpp)
    target_link_libraries(palette_quantise PRIVATE vt_lfw_graphics)
    target_compile_definitions(palette_bench PRIVATE
        VT_PALETTE_QUANTISE="$<TARGET_FILE:palette_quantise>")
    add_dependencies(palette_bench palette_quantise)
endif()
