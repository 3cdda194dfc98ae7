# 32-bit ARM boards (hard float): crossbuild-essential-armhf, programs run under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(pitwall_cross_triple arm-linux-gnueabihf)
set(pitwall_cross_qemu qemu-arm)
set(PITWALL_DEB_ARCH armhf) # the Debian architecture of its packages
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

# 64-bit file offsets: under qemu-user the host kernel hands out 64-bit directory offsets, which a
# 32-bit readdir refuses (EOVERFLOW) unless it is the large-file one; the plug-in folder is read so.
set(CMAKE_C_FLAGS_INIT -D_FILE_OFFSET_BITS=64)
set(CMAKE_CXX_FLAGS_INIT -D_FILE_OFFSET_BITS=64)
