# Cross-compiles for 32-bit Windows with Debian's mingw-w64 (-posix flavour).
# Nothing runs these programs here: Debian's Wine has no 32-bit half.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RIPWARDEN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
