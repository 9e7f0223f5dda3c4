# Cross-builds for the handheld: 32-bit ARM, EABI, soft float (Debian armel),
# with Debian's arm-linux-gnueabi-g++ against the sysroot that
# scripts/arm-sysroot.sh prepares. The ARM programs CMake runs (gtest
# discovery, ctest) go through qemu-arm-static with the sysroot as prefix.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=scripts/armel-toolchain.cmake \
#         -DJT_ARM_SYSROOT=$HOME/.cache/jadeturtle/sysroot-armel-bookworm ...

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)

# The sysroot comes from the cache variable, then the environment, then the
# default cache folder. Try-compiles re-read this file in a fresh project,
# so the value is handed on to them explicitly.
if(NOT JT_ARM_SYSROOT)
  if(DEFINED ENV{JT_ARM_SYSROOT})
    set(JT_ARM_SYSROOT "$ENV{JT_ARM_SYSROOT}")
  elseif(DEFINED ENV{JT_CACHE})
    set(JT_ARM_SYSROOT "$ENV{JT_CACHE}/sysroot-armel-bookworm")
  else()
    set(JT_ARM_SYSROOT "$ENV{HOME}/.cache/jadeturtle/sysroot-armel-bookworm")
  endif()
endif()
set(JT_ARM_SYSROOT "${JT_ARM_SYSROOT}" CACHE PATH "Debian armel sysroot")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES JT_ARM_SYSROOT)
if(NOT EXISTS "${JT_ARM_SYSROOT}/.jadeturtle-sysroot")
  message(FATAL_ERROR "No complete ARM sysroot at ${JT_ARM_SYSROOT}; run scripts/arm-sysroot.sh")
endif()

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_SYSROOT "${JT_ARM_SYSROOT}")

# Headers and libraries come from the sysroot only; helper programs the
# build runs (none today) would come from the host.
set(CMAKE_FIND_ROOT_PATH "${JT_ARM_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the sysroot's .pc files and prefixes their paths with it.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${JT_ARM_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
  "${JT_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig:${JT_ARM_SYSROOT}/usr/lib/pkgconfig:${JT_ARM_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The libraries' own dependencies (PulseAudio's private ones among them)
# are resolved at link time inside the sysroot too.
set(_jt_rpath_link "-Wl,-rpath-link,${JT_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi -Wl,-rpath-link,${JT_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pulseaudio")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_jt_rpath_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_jt_rpath_link}")

# The handheld's processor, an ARM926 (ARMv5TE): an instruction newer than it
# fails the run instead of passing unnoticed.
set(CMAKE_CROSSCOMPILING_EMULATOR "qemu-arm-static;-cpu;arm926;-L;${JT_ARM_SYSROOT}")
