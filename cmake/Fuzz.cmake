# Every fuzz/*_fuzz.cpp defines LLVMFuzzerTestOneInput. Always built as a replay program that
# feeds it each file of tests/data/fuzz/<name>/ (so the corpus and every crash kept there run as
# ordinary tests); with VT_FUZZ=ON and clang also as a libFuzzer program <name>_libfuzzer.
#
# Every program carries LeakSanitizer's default suppressions, made from scripts/lsan.supp (the
# caches that fontconfig, Pango, cairo and GLib keep for the whole process), so that a run has
# leak detection on and stops only at leaks of our own, however it is started.
file(STRINGS ${CMAKE_SOURCE_DIR}/scripts/lsan.supp vt_lsan_lines REGEX "^leak:")
set(vt_lsan_text "")
foreach(line ${vt_lsan_lines})
    string(APPEND vt_lsan_text "    \"${line}\\n\"\n")
endforeach()
set(vt_lsan_source ${CMAKE_BINARY_DIR}/fuzz_lsan_suppressions.cpp)
file(CONFIGURE OUTPUT ${vt_lsan_source} CONTENT
"// Made by cmake/Fuzz.cmake from scripts/lsan.supp.
extern \"C\" const char* __lsan_default_suppressions()
{
    return
${vt_lsan_text}        \"\";
}
")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/scripts/lsan.supp)

file(GLOB vt_fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(src ${vt_fuzz_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name}_replay ${src} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp ${vt_lsan_source})
    target_link_libraries(${name}_replay PRIVATE vt_all)
    if(VT_BUILD_TESTS)
        add_test(NAME ${name}_corpus
            COMMAND ${name}_replay ${CMAKE_SOURCE_DIR}/tests/data/fuzz/${name})
    endif()
    if(VT_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        add_executable(${name}_libfuzzer ${src} ${vt_lsan_source})
        target_link_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name}_libfuzzer PRIVATE vt_all)
    endif()
endforeach()
