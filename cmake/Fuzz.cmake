# Every fuzz/*_fuzz.cpp defines LLVMFuzzerTestOneInput. Always built as a replay program that
# feeds it each file of tests/data/fuzz/<name>/ (so the corpus and every crash kept there run as
# ordinary tests); with VT_FUZZ=ON and clang also as a libFuzzer program <name>_libfuzzer.
file(GLOB vt_fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(src ${vt_fuzz_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name}_replay ${src} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE vt_all)
    if(VT_BUILD_TESTS)
        add_test(NAME ${name}_corpus
            COMMAND ${name}_replay ${CMAKE_SOURCE_DIR}/tests/data/fuzz/${name})
    endif()
    if(VT_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        add_executable(${name}_libfuzzer ${src})
        target_link_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name}_libfuzzer PRIVATE vt_all)
    endif()
endforeach()
