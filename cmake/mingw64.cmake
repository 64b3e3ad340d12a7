# Cross-compiling for 64-bit Windows with Debian's mingw-w64 compilers, the
# win32 thread model (no winpthread DLL to ship):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLBRINT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLBRINT_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOLBRINT_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TOLBRINT_MINGW_TRIPLE}-windres)
set(CMAKE_AR /usr/bin/${TOLBRINT_MINGW_TRIPLE}-ar)
set(CMAKE_RANLIB /usr/bin/${TOLBRINT_MINGW_TRIPLE}-ranlib)
# Libraries and headers come from the mingw tree only, never from the host's
# /usr; programs (cmake, the shell) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLBRINT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TOLBRINT_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
