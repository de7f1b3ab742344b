# Every bench/*_bench.cpp is one Google Benchmark program. They are built, never run by test.sh.
find_package(benchmark REQUIRED)
file(GLOB vt_bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
foreach(src ${vt_bench_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE vt_all benchmark::benchmark_main)
    target_compile_definitions(${name} PRIVATE VT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()

# The imaging benchmark compares the framework's pixel routines with pixman's.
pkg_check_modules(VT_PIXMAN IMPORTED_TARGET pixman-1)
if(VT_PIXMAN_FOUND AND TARGET imaging_bench)
    target_link_libraries(imaging_bench PRIVATE PkgConfig::VT_PIXMAN)
endif()
