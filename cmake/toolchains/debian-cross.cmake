# Shared part of the board toolchains: Debian's cross compilers (crossbuild-essential-<arch>) with
# the target's C library in /usr/<triple>, and qemu-user to run the target's programs on this
# machine, so that ctest and test discovery work as in a native build.
# The including file sets pitwall_cross_triple and pitwall_cross_qemu first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${pitwall_cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${pitwall_cross_triple}-g++)

# Debian's multiarch library folder, <prefix>/lib/<triple>, as on the board (GNUInstallDirs picks it
# only for native builds).
set(CMAKE_INSTALL_LIBDIR lib/${pitwall_cross_triple} CACHE PATH "Object code libraries (lib/<triple>)")

set(CMAKE_FIND_ROOT_PATH /usr/${pitwall_cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: qemu looks for the target's loader and libraries under the cross C library's folder first.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/${pitwall_cross_qemu} -L /usr/${pitwall_cross_triple})

# nlohmann-json is header-only, so the host's package serves every target; the root path above
# would hide it. Debian's cross compilers search /usr/include last, after their own C library.
set(nlohmann_json_DIR /usr/share/cmake/nlohmann_json CACHE PATH "nlohmann-json's package (header-only)")
