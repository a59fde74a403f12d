# Cross-compiling a 64-bit build of the same sources with Debian's MinGW-w64 toolchain. The
# plug-in ships 32-bit; this build only runs the tests and the workbench on a machine whose
# kernel cannot run 32-bit programs (see scripts/wine-arch.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
