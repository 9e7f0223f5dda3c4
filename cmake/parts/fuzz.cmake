# Fuzz harnesses (fuzz/fuzz_*.cpp).
#
# With JT_FUZZ=ON (clang only; scripts/fuzz.sh configures build-fuzz/ that
# way, with the whole build instrumented for coverage and the sanitizers)
# each harness becomes a libFuzzer program fuzz_<name>.
#
# Otherwise each harness is linked with a small driver into replay_<name>,
# which the test suite runs over the committed corpus in fuzz/corpus/<name>/
# so that every input that ever crashed stays a regression test.
option(JT_FUZZ "Build the libFuzzer harnesses (needs clang)" OFF)
option(JT_SANITIZE "The build is instrumented with sanitizers" OFF)

file(GLOB JT_FUZZ_HARNESSES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/fuzz_*.cpp)
add_library(jadeturtle_fuzzsupport STATIC ${CMAKE_SOURCE_DIR}/fuzz/harness.cpp)
target_link_libraries(jadeturtle_fuzzsupport PUBLIC jadeturtle_testsupport jadeturtle_core)

if(JT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "JT_FUZZ needs clang (configure with CC=clang CXX=clang++)")
  endif()
  foreach(src ${JT_FUZZ_HARNESSES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE jadeturtle_fuzzsupport jadeturtle_core)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endforeach()
else()
  foreach(src ${JT_FUZZ_HARNESSES})
    get_filename_component(name ${src} NAME_WE)
    string(REGEX REPLACE "^fuzz_" "replay_" replay ${name})
    add_executable(${replay} ${src} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${replay} PRIVATE jadeturtle_fuzzsupport jadeturtle_core)
  endforeach()
endif()
