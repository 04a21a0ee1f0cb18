# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix and libz-mingw-w64-dev). The posix thread model
# gives std::thread and std::mutex; the C++ runtime, libgcc, winpthread and
# zlib are linked statically, so the executables need only the system's own
# DLLs. Tests run under wine (see scripts/test-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSALY_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSALY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALY_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot and from
# TESSALY_MINGW_PREFIX, a folder of libraries built with this same file
# (scripts/build-windows-libraries.sh); programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW_TRIPLE} ${TESSALY_MINGW_PREFIX})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSALY_MINGW_PREFIX)
# The toolkit for the desktop program (scripts/build-windows-wxwidgets.sh),
# named by its wx-config: the libraries it links (libpng) are found there.
if(wxWidgets_CONFIG_EXECUTABLE)
  # The folder as wx-config itself names it: bin/ is reached through links.
  get_filename_component(TESSALY_MINGW_WX_PREFIX "${wxWidgets_CONFIG_EXECUTABLE}" DIRECTORY)
  get_filename_component(TESSALY_MINGW_WX_PREFIX "${TESSALY_MINGW_WX_PREFIX}/.." REALPATH)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TESSALY_MINGW_WX_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only at those libraries, never at the build machine's
# (whose headers a Windows build cannot use).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TESSALY_MINGW_TRIPLE}/lib/pkgconfig)
if(TESSALY_MINGW_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "$ENV{PKG_CONFIG_LIBDIR}:${TESSALY_MINGW_PREFIX}/lib/pkgconfig")
endif()
set(ENV{PKG_CONFIG_PATH} "")

# Static zlib: FindZLIB takes the first name it finds, so the archive comes first.
set(ZLIB_LIBRARY /usr/${TESSALY_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "zlib, linked statically")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Windows 7 and later: the APIs used (CreateSymbolicLinkW flags aside) are all there.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)

# Test programs run under wine when cross-compiling.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "runs the Windows test programs")
