# Cross build for the boxes' processor: 32-bit ARM with hardware floating point (Debian's armhf),
# with Debian's cross compilers and the armhf libraries installed through multiarch. Programs
# built here run on this machine under qemu-user (tests and the test discovery too).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(QEL_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${QEL_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QEL_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QEL_CROSS_TRIPLET})
# File offsets, sizes and inode numbers of 64 bits: with the 32-bit ones readdir, stat and
# ftell fail with EOVERFLOW on a file system that hands out larger values (ext4's directory
# offsets are 64-bit hashes), and a directory then reads as empty. The ABI notes of GCC 7.1
# (-Wpsabi) concern only code linked against objects of GCC 6 and older.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -Wno-psabi")
# The armhf C library installed through multiarch (/lib/arm-linux-gnueabihf, with its loader
# at /lib/ld-linux-armhf.so.3) is the one programs run against: the cross toolchain's own copy
# under /usr/arm-linux-gnueabihf (qemu-arm -L) is another build, and threads crash with it.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)

# Libraries and CMake package files are found in the target's multiarch folders
# (/usr/lib/arm-linux-gnueabihf) through CMAKE_LIBRARY_ARCHITECTURE; programs are the PC's own.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config reads only the target's .pc files; QEL_CROSS_PKG_CONFIG_PATH adds folders of our
# own (scripts/cross puts the SDL one there, whose -dev package is not multiarch).
set(_qel_pc /usr/lib/${QEL_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
if(DEFINED ENV{QEL_CROSS_PKG_CONFIG_PATH})
    set(_qel_pc "$ENV{QEL_CROSS_PKG_CONFIG_PATH}:${_qel_pc}")
endif()
set(ENV{PKG_CONFIG_LIBDIR} "${_qel_pc}")
set(ENV{PKG_CONFIG_PATH} "")
