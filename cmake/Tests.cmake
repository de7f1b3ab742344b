# Every tests/**/*_test.cpp is one GoogleTest program linked with the whole framework.
find_package(GTest REQUIRED)
option(VT_TEST_DEBUG_INFO "Keep debug information in the test programs" OFF)
include(GoogleTest)

file(GLOB_RECURSE vt_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
file(GLOB_RECURSE vt_test_support CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
# Libraries a program lists for the dynamic loader only when it uses them.
set(CMAKE_LINK_LIBRARY_USING_VT_AS_NEEDED
    "LINKER:--push-state,--as-needed" "<LINK_ITEM>" "LINKER:--pop-state")
set(CMAKE_LINK_LIBRARY_USING_VT_AS_NEEDED_SUPPORTED TRUE)
if(vt_test_support)
    add_library(vt_test_support STATIC ${vt_test_support})
    target_link_libraries(vt_test_support PUBLIC vt_all GTest::gtest)
    target_include_directories(vt_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
    # The TLS test server (support/LoopbackServer.cpp) uses OpenSSL itself. Only the programs
    # that use the server are to load it, also where the linker keeps every library it is given
    # (as it does for the sanitizers): the others see the framework open it on first use.
    target_include_directories(vt_test_support PRIVATE ${VT_SSL_INCLUDE_DIRS})
    target_link_libraries(vt_test_support PRIVATE
        "$<LINK_LIBRARY:VT_AS_NEEDED,${VT_SSL_LINK_LIBRARIES}>")
else()
    add_library(vt_test_support INTERFACE)
    target_link_libraries(vt_test_support INTERFACE vt_all GTest::gtest)
    target_include_directories(vt_test_support INTERFACE ${CMAKE_SOURCE_DIR}/tests)
endif()

foreach(src ${vt_test_sources})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${src})
    string(REGEX REPLACE "\\.cpp$" "" name "${rel}")
    string(REPLACE "/" "_" name "${name}")
    add_executable(${name} ${src})
    # Every test process gets an X server of its own (tests/support/own-display.sh): windows of
    # tests running side by side must not take the focus or the pointer from each other.
    set_target_properties(${name} PROPERTIES
        CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/support/own-display.sh)
    target_link_libraries(${name} PRIVATE vt_test_support GTest::gtest_main GTest::gmock)
    # The test programs are linked without the debug information of the framework they each
    # carry whole (most of each link's time); VT_TEST_DEBUG_INFO=ON keeps it for a debugger.
    if(NOT VT_TEST_DEBUG_INFO)
        target_link_options(${name} PRIVATE "LINKER:--strip-debug")
    endif()
    # The tests of the benchmark programs' helpers need Google Benchmark too.
    if(rel MATCHES "^bench/")
        find_package(benchmark REQUIRED)
        target_link_libraries(${name} PRIVATE benchmark::benchmark)
    endif()
    target_compile_definitions(${name} PRIVATE
        VT_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VT_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
        VT_BINARY_DIR="${CMAKE_BINARY_DIR}")
    file(READ ${src} body)
    # The tests of the layers below the windows run with no display (an X server's start would
    # cost each of them a third of a second), unless they name something of the screen's.
    set(display_env "VT_DISPLAY=set:own")
    if(rel MATCHES "^(bench|lfw/(gen|graphics|ios|net|snd|unix)|platform/(imageio|prefs|print|system|text|tls))/"
       AND NOT body MATCHES "gtk|Gtk|LUi|XOpenDisplay|DISPLAY|xdotool|Xvfb|E2e|Window|LMac|Screen")
        set(display_env "VT_DISPLAY=set:none")
    endif()
    # A test file that mentions VT_TEST_TIMEOUT=<seconds> (in a comment will do) gives each of its
    # tests that long, whatever ctest's --timeout says: work that runs below the window's thread
    # takes minutes on a loaded machine.
    set(timeout "")
    if(body MATCHES "VT_TEST_TIMEOUT=([0-9]+)")
        set(timeout TIMEOUT ${CMAKE_MATCH_1})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        TEST_PREFIX "${name}."
        PROPERTIES ENVIRONMENT "VT_RESOURCES_DIR=${CMAKE_BINARY_DIR}/resources"
        ENVIRONMENT_MODIFICATION "${display_env}" ${timeout})
    # A test file that mentions VT_WINDOW_MANAGER (in a comment will do) runs a second time on an
    # X server managed by openbox, its tests named "wm.<program>.<suite>.<test>".
    string(FIND "${body}" "VT_WINDOW_MANAGER" managed)
    if(NOT managed EQUAL -1)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            TEST_PREFIX "wm.${name}."
            PROPERTIES ENVIRONMENT "VT_WINDOW_MANAGER=1"
            ENVIRONMENT_MODIFICATION "VT_RESOURCES_DIR=set:${CMAKE_BINARY_DIR}/resources" ${timeout})
    endif()
    # A test file that mentions VT_ALSO_SCALED (in a comment will do) runs a second time with a
    # backing scale of 2, its tests named "scale2.<program>.<suite>.<test>".
    string(FIND "${body}" "VT_ALSO_SCALED" scaled)
    if(NOT scaled EQUAL -1)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            TEST_PREFIX "scale2.${name}."
            # One value per property: a list value would be split into two arguments when the
            # discovered tests are written out, and the scale would be lost.
            PROPERTIES ENVIRONMENT "GDK_SCALE=2"
            ENVIRONMENT_MODIFICATION "VT_RESOURCES_DIR=set:${CMAKE_BINARY_DIR}/resources" ${timeout})
    endif()
endforeach()

# The tests of the libraries opened on first use know the libraries' sonames.
foreach(name platform_imageio_lazy_codecs_test platform_tls_lazy_tls_test)
    if(TARGET ${name})
        target_link_libraries(${name} PRIVATE vt_late_libraries)
    endif()
endforeach()
