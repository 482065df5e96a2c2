# Builds the fuzz targets natively with clang (ASan + UBSan + libFuzzer) and runs each briefly as a test.
include(ExternalProject)

set(FUZZ_TARGETS fuzz_paths_and_numbers fuzz_command_lines fuzz_tool_output fuzz_console_text)
set(FUZZ_NATIVE_DIR ${CMAKE_BINARY_DIR}/fuzz-native)
find_program(FUZZ_CXX NAMES clang++ clang++-14 REQUIRED NO_CMAKE_FIND_ROOT_PATH)

# Only what is passed here reaches the inner build, so the cross toolchain and the emulator stay out of it.
set(FUZZ_BINARIES ${FUZZ_TARGETS})
list(TRANSFORM FUZZ_BINARIES PREPEND ${FUZZ_NATIVE_DIR}/)
ExternalProject_Add(fuzz_native
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/fuzz
    BINARY_DIR ${FUZZ_NATIVE_DIR}
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${FUZZ_CXX}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${FUZZ_BINARIES})

# libFuzzer adds what it finds to the first folder; the seeds in the source tree stay read-only.
foreach(target ${FUZZ_TARGETS})
    set(found ${FUZZ_NATIVE_DIR}/corpus/${target})
    file(MAKE_DIRECTORY ${found})
    # A plain path, not a target name: CTest runs it directly, never through the emulator.
    string(REPLACE "fuzz_" "" name ${target})
    add_test(NAME fuzz.${name}
             COMMAND ${FUZZ_NATIVE_DIR}/${target} -max_total_time=20 -rss_limit_mb=1024 -timeout=10
                     ${found} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target}
             WORKING_DIRECTORY ${FUZZ_NATIVE_DIR})
    # On a fresh build the fuzzers take both cores first, and the long Wine session (see tests/stress),
    # whose hundreds of process starts Wine very rarely refuses under load, then runs beside short tests only.
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 120 COST 200)
endforeach()
