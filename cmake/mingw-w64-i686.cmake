# Cross toolchain for the 32-bit Windows release build, tested under Wine 10 in WoW64 mode (scripts/wow64.sh).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOL_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
