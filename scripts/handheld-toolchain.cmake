# Builds the handheld's static game: ARMv5TE, EABI, soft float, over musl
# and the static SDL libraries that scripts/handheld-libs.sh prepares.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=scripts/handheld-toolchain.cmake \
#         -DJT_HANDHELD_LIBS=$HOME/.cache/jadeturtle/handheld-armel-<key> ...
#
# Only the game and the frame-cost program are built this way (the tests
# run in the Debian armel build of scripts/armel-toolchain.cmake). Programs
# CMake runs go through qemu-arm-static emulating the handheld's ARM926.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

if(NOT JT_HANDHELD_LIBS AND DEFINED ENV{JT_HANDHELD_LIBS})
  set(JT_HANDHELD_LIBS "$ENV{JT_HANDHELD_LIBS}")
endif()
set(JT_HANDHELD_LIBS "${JT_HANDHELD_LIBS}" CACHE PATH "The handheld's static libraries")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES JT_HANDHELD_LIBS)
if(NOT EXISTS "${JT_HANDHELD_LIBS}/.jadeturtle-handheld-libs")
  message(FATAL_ERROR "No complete handheld libraries at '${JT_HANDHELD_LIBS}'; run scripts/handheld-libs.sh")
endif()

set(CMAKE_C_COMPILER "${JT_HANDHELD_LIBS}/bin/armel-musl-gcc")
set(CMAKE_CXX_COMPILER "${JT_HANDHELD_LIBS}/bin/armel-musl-g++")

set(CMAKE_FIND_ROOT_PATH "${JT_HANDHELD_LIBS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR "qemu-arm-static;-cpu;arm926")
