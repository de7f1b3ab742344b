# Every bench/*_bench.cpp is one Google Benchmark program. They are built, never run by test.sh.
find_package(benchmark REQUIRED)
file(GLOB vt_bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
foreach(src ${vt_bench_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE vt_all benchmark::benchmark_main)
    target_compile_definitions(${name} PRIVATE VT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()
