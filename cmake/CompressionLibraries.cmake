# The libraries behind the compression methods beyond Deflate: libbz2
# (BZip2), liblzma 5.4 or later (LZMA and XZ) and libzstd (Zstandard). On
# Linux they are required. Elsewhere (a cross build for Windows, say) a
# missing one only leaves its methods out: each found library sets one
# switch, TESSALY_WITH_BZIP2, TESSALY_WITH_LZMA or TESSALY_WITH_ZSTD, and an
# entry of that method then reads as "... compression is not supported".
set(_tessaly_required "")
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(_tessaly_required REQUIRED)
endif()

find_package(BZip2 ${_tessaly_required})
set(TESSALY_WITH_BZIP2 OFF)
if(BZIP2_FOUND)
  set(TESSALY_WITH_BZIP2 ON)
endif()

find_package(LibLZMA ${_tessaly_required})
set(TESSALY_WITH_LZMA OFF)
if(LIBLZMA_FOUND)
  # Raw LZMA1 with or without an end marker needs the LZMA1EXT filter (5.4).
  if(NOT LIBLZMA_VERSION)
    set(LIBLZMA_VERSION ${LIBLZMA_VERSION_STRING})
  endif()
  if(LIBLZMA_VERSION VERSION_LESS 5.4)
    if(_tessaly_required)
      message(FATAL_ERROR "liblzma ${LIBLZMA_VERSION} found; 5.4 or later is needed")
    endif()
    message(WARNING "liblzma ${LIBLZMA_VERSION} is older than 5.4: LZMA and XZ are left out")
  else()
    set(TESSALY_WITH_LZMA ON)
  endif()
endif()

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(ZSTD QUIET IMPORTED_TARGET libzstd)
endif()
if(ZSTD_FOUND)
  add_library(tessaly_zstd INTERFACE)
  target_link_libraries(tessaly_zstd INTERFACE PkgConfig::ZSTD)
else()
  find_path(ZSTD_INCLUDE_DIR zstd.h)
  find_library(ZSTD_LIBRARY NAMES zstd libzstd)
  if(ZSTD_INCLUDE_DIR AND ZSTD_LIBRARY)
    set(ZSTD_FOUND ON)
    add_library(tessaly_zstd INTERFACE)
    target_include_directories(tessaly_zstd INTERFACE ${ZSTD_INCLUDE_DIR})
    target_link_libraries(tessaly_zstd INTERFACE ${ZSTD_LIBRARY})
  elseif(_tessaly_required)
    message(FATAL_ERROR "libzstd not found (Debian: libzstd-dev)")
  endif()
endif()
set(TESSALY_WITH_ZSTD OFF)
if(ZSTD_FOUND)
  set(TESSALY_WITH_ZSTD ON)
endif()

# ISA-L (Intel's storage acceleration library) decodes Deflate about two
# and a half times as fast as zlib; zlib stays for what ISA-L does not give
# (archive/methods/IsalInflater.h). Required on Linux unless
# TESSALY_WITH_ISAL is turned off; a build that does not find it (a cross
# build for Windows without it, say) inflates with zlib alone.
option(TESSALY_WITH_ISAL "Inflate with ISA-L where it is found (required on Linux when ON)" ON)
if(TESSALY_WITH_ISAL)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(ISAL QUIET IMPORTED_TARGET libisal)
  endif()
  if(ISAL_FOUND)
    add_library(tessaly_isal INTERFACE)
    target_link_libraries(tessaly_isal INTERFACE PkgConfig::ISAL)
  else()
    find_path(ISAL_INCLUDE_DIR isa-l/igzip_lib.h)
    find_library(ISAL_LIBRARY NAMES isal libisal)
    if(ISAL_INCLUDE_DIR AND ISAL_LIBRARY)
      set(ISAL_FOUND ON)
      add_library(tessaly_isal INTERFACE)
      target_include_directories(tessaly_isal INTERFACE ${ISAL_INCLUDE_DIR})
      target_link_libraries(tessaly_isal INTERFACE ${ISAL_LIBRARY})
    elseif(_tessaly_required)
      message(FATAL_ERROR "ISA-L not found (Debian: libisal-dev), or configure with -DTESSALY_WITH_ISAL=OFF")
    else()
      set(TESSALY_WITH_ISAL OFF)
    endif()
  endif()
endif()

message(STATUS "Compression libraries: BZip2 ${TESSALY_WITH_BZIP2}, LZMA/XZ ${TESSALY_WITH_LZMA}, "
  "Zstandard ${TESSALY_WITH_ZSTD}, ISA-L ${TESSALY_WITH_ISAL}")

# Links the found libraries to `target` and tells its sources which are
# there (one definition per switch).
function(tessaly_link_compression_libraries target scope)
  if(TESSALY_WITH_BZIP2)
    target_link_libraries(${target} ${scope} BZip2::BZip2)
    target_compile_definitions(${target} ${scope} TESSALY_WITH_BZIP2=1)
  endif()
  if(TESSALY_WITH_LZMA)
    target_link_libraries(${target} ${scope} LibLZMA::LibLZMA)
    # On Windows lzma.h declares its functions imported from a DLL unless
    # told the library is a static one.
    if(WIN32 AND NOT LIBLZMA_LIBRARY MATCHES "\\.dll\\.a$")
      target_compile_definitions(${target} ${scope} LZMA_API_STATIC)
    endif()
    target_compile_definitions(${target} ${scope} TESSALY_WITH_LZMA=1)
  endif()
  if(TESSALY_WITH_ZSTD)
    target_link_libraries(${target} ${scope} tessaly_zstd)
    target_compile_definitions(${target} ${scope} TESSALY_WITH_ZSTD=1)
  endif()
  if(TESSALY_WITH_ISAL)
    target_link_libraries(${target} ${scope} tessaly_isal)
    target_compile_definitions(${target} ${scope} TESSALY_WITH_ISAL=1)
  endif()
endfunction()
