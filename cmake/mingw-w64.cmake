# Cross-compiling the Windows program with mingw-w64 (Debian's
# g++-mingw-w64-x86-64). The posix-threads flavour of the compiler carries
# the complete std::thread and std::mutex support of the standard library.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MARIVO_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${MARIVO_MINGW_PREFIX}-g++-posix ${MARIVO_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${MARIVO_MINGW_PREFIX}-gcc-posix ${MARIVO_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${MARIVO_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MARIVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A small executable: optimised for size, every function and datum in a
# section of its own so that the linker drops what nothing uses. (Release
# builds are stripped by platform/win32/CMakeLists.txt.)
set(CMAKE_C_FLAGS_RELEASE_INIT "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-Os -DNDEBUG")
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--gc-sections")
