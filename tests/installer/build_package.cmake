# Builds one installer package from a WiX source with wixl, at build time on
# the build machine, then writes the rows of the CustomAction table that
# wixl 0.101 gets wrong with msibuild:
#   - a DLL custom action on an installed file (FileKey and DllEntry,
#     type 17) is dropped: FILE_ACTIONS lists "Action:FileKey:Entry" rows to
#     add when missing;
#   - Execute="rollback" is written as an immediate action: ROLLBACK_ACTIONS
#     lists the Binary-table DLL actions to make rollback actions (type 1281:
#     1 + in script 1024 + rollback 256).
# wixl resolves every SourceFile against the .wxs's own directory and takes
# no absolute path there, so LIBRARY (the variable KorvaLibrary) and
# FAILING_LIBRARY (FailingLibrary) are handed on relative to it.
#
#   cmake -DWIXL=... -DMSIBUILD=... -DMSIINFO=... -DWXS=<file.wxs> -DOUT=<file.msi>
#         -DLIBRARY=<dll> [-DFAILING_LIBRARY=<dll>] [-DCARRY=binary|installed]
#         [-DFILE_ACTIONS=a:b:c,...] [-DROLLBACK_ACTIONS=a,...] -P build_package.cmake
cmake_policy(VERSION 3.20)

get_filename_component(wxs_dir "${WXS}" DIRECTORY)
file(RELATIVE_PATH library "${wxs_dir}" "${LIBRARY}")
set(defines -D "KorvaLibrary=${library}")
if(DEFINED FAILING_LIBRARY)
  file(RELATIVE_PATH failing "${wxs_dir}" "${FAILING_LIBRARY}")
  list(APPEND defines -D "FailingLibrary=${failing}")
endif()
if(DEFINED CARRY)
  list(APPEND defines -D "Carry=${CARRY}")
endif()

file(REMOVE "${OUT}")
execute_process(COMMAND "${WIXL}" ${defines} -o "${OUT}" "${WXS}"
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${OUT}")
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "wixl failed on ${WXS}:\n${err}")
endif()

function(run_query query)
  execute_process(COMMAND "${MSIBUILD}" "${OUT}" -q "${query}" RESULT_VARIABLE rc
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    file(REMOVE "${OUT}")
    message(FATAL_ERROR "msibuild ${OUT} -q \"${query}\" failed:\n${err}")
  endif()
endfunction()

execute_process(COMMAND "${MSIINFO}" export "${OUT}" CustomAction OUTPUT_VARIABLE actions
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "msiinfo cannot read the CustomAction table of ${OUT}")
endif()

string(REPLACE "," ";" file_actions "${FILE_ACTIONS}")
foreach(row ${file_actions})
  string(REPLACE ":" ";" fields "${row}")
  list(GET fields 0 action)
  list(GET fields 1 file_key)
  list(GET fields 2 entry)
  if(NOT actions MATCHES "(^|\n)${action}\t")
    run_query("INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('${action}', 17, '${file_key}', '${entry}')")
  endif()
endforeach()

string(REPLACE "," ";" rollback_actions "${ROLLBACK_ACTIONS}")
foreach(action ${rollback_actions})
  run_query("UPDATE CustomAction SET Type = 1281 WHERE Action = '${action}'")
endforeach()
