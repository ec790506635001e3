# Cross build for the boxes' processor: 32-bit ARM with hardware floating point (Debian's armhf),
# with Debian's cross compilers and the armhf libraries installed through multiarch. Programs
# built here run on this machine under qemu-user (tests and the test discovery too).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(QEL_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${QEL_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QEL_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QEL_CROSS_TRIPLET})
# The ABI notes of GCC 7.1 (-Wpsabi) concern only code linked against objects of GCC 6 and older.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${QEL_CROSS_TRIPLET})

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
