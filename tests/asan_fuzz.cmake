# The PCX loader and the drawing code fed a few thousand mutated pictures and
# random rectangles. The program compiles the game's sources itself with
# AddressSanitizer and UndefinedBehaviorSanitizer, so only it is sanitized.
# The cross toolchain's sanitizer runtimes do not link for the handheld (and
# would not run under user-mode emulation), so there the same program is
# built plain: the mutated files must still load or be refused without a crash.
if(CMAKE_CROSSCOMPILING)
  set(JT_PICTURE_FUZZ_FLAGS)
else()
  set(JT_PICTURE_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
add_executable(fuzz_pictures
  ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_pictures.cpp
  ${JT_LIB_SOURCES}
  ${CMAKE_SOURCE_DIR}/tools/lib/pcx_write.cpp
  ${CMAKE_SOURCE_DIR}/tools/lib/frame_setup.cpp)
target_include_directories(fuzz_pictures PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tools/lib)
target_compile_options(fuzz_pictures PRIVATE ${JT_PICTURE_FUZZ_FLAGS})
target_link_options(fuzz_pictures PRIVATE ${JT_PICTURE_FUZZ_FLAGS})
target_link_libraries(fuzz_pictures PRIVATE PkgConfig::SDL GTest::gtest GTest::gtest_main)
add_test(NAME fuzz_pictures COMMAND fuzz_pictures WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
# SDL keeps its own allocations to the end of the process: leak reports are off.
set_tests_properties(fuzz_pictures PROPERTIES
  ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;ASAN_OPTIONS=detect_leaks=0;UBSAN_OPTIONS=print_stacktrace=1"
  TIMEOUT 900)
