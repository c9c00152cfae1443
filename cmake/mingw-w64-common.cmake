# What both mingw-w64 toolchain files share; RIPWARDEN_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${RIPWARDEN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RIPWARDEN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RIPWARDEN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${RIPWARDEN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime: an .exe runs alone, with no mingw DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The libraries cross-built from Debian's sources (scripts/build-windows.sh),
# found through their own pkg-config files; static, so with their private ones.
if(RIPWARDEN_WIN64_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${RIPWARDEN_WIN64_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(PKG_CONFIG_ARGN --static)
  list(APPEND CMAKE_FIND_ROOT_PATH ${RIPWARDEN_WIN64_DEPS})
endif()
