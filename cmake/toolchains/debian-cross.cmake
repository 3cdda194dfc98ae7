# Shared part of the board toolchains: Debian's cross compilers (crossbuild-essential-<arch>) with
# the target's C library in /usr/<triple>, the board's root (scripts/board-root.sh) for every other
# library of the target, and qemu-user to run the target's programs on this machine, so that ctest
# and test discovery work as in a native build.
# The including file sets pitwall_cross_triple and pitwall_cross_qemu first; the preset names the
# root in PITWALL_BOARD_ROOT.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${pitwall_cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${pitwall_cross_triple}-g++)

# No fused multiply-add where the source multiplies and then adds (GCC contracts them by default
# where the target has the instruction, as arm64 does): the desk's x86-64 has none, and a decoded
# CAN value or a computed point must come out on the board as on the desk, to the last bit.
string(APPEND CMAKE_C_FLAGS_INIT " -ffp-contract=off")
string(APPEND CMAKE_CXX_FLAGS_INIT " -ffp-contract=off")

# Debian's multiarch library folder, <prefix>/lib/<triple>, as on the board (GNUInstallDirs picks it
# only for native builds).
set(CMAKE_INSTALL_LIBDIR lib/${pitwall_cross_triple} CACHE PATH "Object code libraries (lib/<triple>)")

if(NOT PITWALL_BOARD_ROOT AND DEFINED ENV{PITWALL_BOARD_ROOT})
  set(PITWALL_BOARD_ROOT $ENV{PITWALL_BOARD_ROOT})
endif()
if(NOT PITWALL_BOARD_ROOT OR NOT EXISTS ${PITWALL_BOARD_ROOT}/usr/lib/${pitwall_cross_triple})
  message(FATAL_ERROR "no board root at \"${PITWALL_BOARD_ROOT}\": make it with scripts/board-root.sh "
                      "(scripts/arm.sh does)")
endif()
# Test programs are configured without the cache: the root reaches them through the environment.
set(ENV{PITWALL_BOARD_ROOT} ${PITWALL_BOARD_ROOT})

# The compiler keeps its own C library and libstdc++ (/usr/<triple>) and takes the other headers
# and libraries from the root, as does CMake's search.
set(CMAKE_SYSROOT ${PITWALL_BOARD_ROOT})
set(CMAKE_FIND_ROOT_PATH /usr/${pitwall_cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the target's .pc files only, and prefixes their paths with the root.
set(ENV{PKG_CONFIG_LIBDIR} ${PITWALL_BOARD_ROOT}/usr/lib/${pitwall_cross_triple}/pkgconfig:${PITWALL_BOARD_ROOT}/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${PITWALL_BOARD_ROOT})
set(ENV{PKG_CONFIG_PATH} "")

# -L: qemu takes the target's loader and libraries from the root, where they exist.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/${pitwall_cross_qemu} -L ${PITWALL_BOARD_ROOT})
