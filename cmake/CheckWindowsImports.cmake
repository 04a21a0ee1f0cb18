# Fails when a Windows executable imports a DLL that is not Windows' own, so
# that the program runs when copied onto any Windows machine without
# anything installed beside it.
#
# cmake -DPROGRAM=tessaly-zip.exe -DOBJDUMP=x86_64-w64-mingw32-objdump -P CheckWindowsImports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "${PROGRAM} lists no imported DLLs: not a Windows executable?")
endif()
# The system's own libraries (the C runtime msvcrt among them).
set(system_dlls advapi32 bcrypt comctl32 comdlg32 crypt32 gdi32 gdiplus imm32 kernel32 msimg32 msvcrt ole32
  oleacc oleaut32 rpcrt4 shell32 shlwapi user32 uxtheme version winhttp winmm winspool.drv ws2_32)
set(foreign)
foreach(line ${lines})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" name)
  string(REGEX REPLACE "\\.dll$" "" name "${name}")
  list(FIND system_dlls "${name}" known)
  if(known EQUAL -1 AND NOT name MATCHES "^api-ms-win-")
    list(APPEND foreign "${dll}")
  endif()
  list(APPEND imported "${dll}")
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} imports DLLs that are not Windows' own: ${foreign}")
endif()
message(STATUS "${PROGRAM} imports only Windows' own DLLs: ${imported}")
