# Cross build for the board: ARMv7-A Cortex-A7, hard float, Debian's cross compiler.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)

set(DEVUZE_CROSS_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${DEVUZE_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${DEVUZE_CROSS_TRIPLE}-g++)
set(CMAKE_C_FLAGS_INIT "-mcpu=cortex-a7 -mfpu=neon-vfpv4 -mfloat-abi=hard")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=cortex-a7 -mfpu=neon-vfpv4 -mfloat-abi=hard")

set(DEVUZE_CROSS_SYSROOT /usr/${DEVUZE_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${DEVUZE_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Unit tests run under user-mode emulation, with the cross toolchain's loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm;-L;${DEVUZE_CROSS_SYSROOT})
