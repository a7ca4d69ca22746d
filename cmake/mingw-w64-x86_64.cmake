# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 compilers.
# The posix thread model is required: the win32 one has no std::thread or std::mutex in GCC 12.
#
# Prefixes built for the target (Qt, SQLite, GoogleTest) are passed as CMAKE_FIND_ROOT_PATH on the
# command line; the MinGW system root is added here. Programs are taken from the build machine,
# everything else only from the target roots, so no Linux library is ever picked up.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KOLVIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KOLVIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOLVIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KOLVIX_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KOLVIX_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KOLVIX_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${KOLVIX_MINGW_TRIPLE}-strip CACHE FILEPATH "")

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KOLVIX_MINGW_TRIPLE})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
