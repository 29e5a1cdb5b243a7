# What both Windows flavours share: Debian's mingw-w64 cross compilers of the posix thread
# model, named after KZ_TRIPLE, which the toolchain file sets before including this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${KZ_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KZ_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KZ_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KZ_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
