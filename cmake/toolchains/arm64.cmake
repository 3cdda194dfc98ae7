# 64-bit ARM boards: crossbuild-essential-arm64, programs run under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(pitwall_cross_triple aarch64-linux-gnu)
set(pitwall_cross_qemu qemu-aarch64)
set(PITWALL_DEB_ARCH arm64) # the Debian architecture of its packages
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
