# Checks a Windows deliverable with objdump: every DLL it imports must be one
# that Windows itself ships (the C and C++ runtimes are linked in), and, when
# EXPORTS is given, it must export exactly those names.
#   cmake -DOBJDUMP=<objdump> -DFILE=<exe or dll> [-DEXPORTS=a,b] -P check_windows_imports.cmake
cmake_policy(VERSION 3.20)
set(KORVA_WINDOWS_DLLS advapi32.dll bcrypt.dll crypt32.dll kernel32.dll msi.dll msvcrt.dll ole32.dll
    oleaut32.dll shell32.dll shlwapi.dll user32.dll winhttp.dll ws2_32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${FILE} failed")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(line ${imports})
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower IN_LIST KORVA_WINDOWS_DLLS)
    message(FATAL_ERROR "${FILE} needs ${dll}, which Windows does not ship")
  endif()
  message(STATUS "imports ${dll}")
endforeach()

if(DEFINED EXPORTS)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${dump}")
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" entries "${table}")
  set(names)
  foreach(entry ${entries})
    string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${entry}")
    list(APPEND names ${name})
  endforeach()
  list(SORT names)
  string(REPLACE "," ";" wanted "${EXPORTS}")
  list(SORT wanted)
  if(NOT names STREQUAL wanted)
    message(FATAL_ERROR "${FILE} exports [${names}], not exactly [${wanted}]")
  endif()
  message(STATUS "exports ${names}")
endif()
