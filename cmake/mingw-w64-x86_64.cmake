# Cross-builds the Windows program on Linux with mingw-w64 (64-bit). Programs built here run under
# Wine through wine-run.sh, so CTest and gtest_discover_tests run the Windows tests as they are.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLQ_MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix compilers: the -win32 ones have no std::thread or std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${PLQ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLQ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PLQ_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLQ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: libgcc, libstdc++ and winpthread linked in, no DLL to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
