# Every fuzz/*_fuzz.cpp defines LLVMFuzzerTestOneInput. Always built as a replay program that
# feeds it each file of tests/data/fuzz/<name>/ (so the corpus and every crash kept there run as
# ordinary tests); with VT_FUZZ=ON and clang also as a libFuzzer program <name>_libfuzzer.
#
# Every program carries LeakSanitizer's default suppressions, made from scripts/lsan.supp (what
# fontconfig and the OpenMP runtime keep for the whole process), so that a run has leak detection
# on and stops only at leaks of our own, however it is started.
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

# The check of the suppressions themselves (fuzz/lsan_probe.cpp): the libraries' own caches are
# left out, a leak of ours is reported also when its block came from GLib or Cairo.
if(VT_BUILD_TESTS AND NOT VT_FUZZ)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS -fsanitize=address)
    set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=address)
    check_cxx_source_compiles("int main() { return 0; }" VT_HAVE_ADDRESS_SANITIZER)
    unset(CMAKE_REQUIRED_FLAGS)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    if(VT_HAVE_ADDRESS_SANITIZER)
        add_executable(lsan_probe ${CMAKE_SOURCE_DIR}/fuzz/lsan_probe.cpp ${vt_lsan_source})
        target_compile_options(lsan_probe PRIVATE -fsanitize=address -fno-omit-frame-pointer)
        target_link_options(lsan_probe PRIVATE -fsanitize=address)
        target_link_libraries(lsan_probe PRIVATE PkgConfig::VT_GLIB PkgConfig::VT_CAIRO
            PkgConfig::VT_PANGO)
        set(vt_lsan_env "ASAN_OPTIONS=detect_leaks=1:exitcode=23" "LSAN_OPTIONS=")
        add_test(NAME lsan_suppressions_leave_out_library_caches COMMAND lsan_probe caches)
        set_tests_properties(lsan_suppressions_leave_out_library_caches PROPERTIES
            ENVIRONMENT "${vt_lsan_env}" FAIL_REGULAR_EXPRESSION "LeakSanitizer")
        # The forgotten blocks' sizes in the report: 12345 bytes of a string, 34532 of pixels.
        add_test(NAME lsan_suppressions_report_our_g_strdup COMMAND lsan_probe string)
        set_tests_properties(lsan_suppressions_report_our_g_strdup PROPERTIES
            ENVIRONMENT "${vt_lsan_env}" PASS_REGULAR_EXPRESSION "leak of 12345 byte")
        add_test(NAME lsan_suppressions_report_our_cairo_surface COMMAND lsan_probe surface)
        set_tests_properties(lsan_suppressions_report_our_cairo_surface PROPERTIES
            ENVIRONMENT "${vt_lsan_env}" PASS_REGULAR_EXPRESSION "leak of 34532 byte")
    endif()
endif()
