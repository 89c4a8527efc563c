# One repository for both platforms: made by the POSIX korvaserver, published
# to by korvapush.exe under wine (through korvalink.dll and the registered
# korvaserver.dll), and read back by the POSIX korvaserver. Its tree must be
# the one the POSIX korvapush makes from the same files, but for the ids and
# the order of the top folders: each system lists a directory in its own
# order, and the walk follows it.
#   cmake -DPOSIX_TOOLS=<dir with korvaserver, korvapush> -DWIN_TOOLS=<dir with korvapush.exe>
#         -DEMULATOR=<wine command> -DSOURCE=<source dir> -DWORK=<scratch dir>
#         -P check_shared_repository.cmake
cmake_policy(VERSION 3.20)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/windows-home ${WORK}/posix-home)

# Runs a command; fails the check unless it exits 0. Its output is in OUT.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(OUT "${out}" PARENT_SCOPE)
endfunction()

set(posix_env ${CMAKE_COMMAND} -E env KORVA_SERVER_HOME=${WORK}/windows-home)
run("korvaserver init" ${posix_env} ${POSIX_TOOLS}/korvaserver init -apsname shared-repo)

run("korvapush.exe" ${CMAKE_COMMAND} -E env KORVA_SERVER_HOME=Z:${WORK}/windows-home
    ${EMULATOR} ${WIN_TOOLS}/korvapush.exe -apsname shared-repo
    -srcfile Z:${SOURCE}/examples/publish.xml -srcpath Z:${SOURCE}/examples/reports
    -logfile Z:${WORK}/windows.log)
run("korvaserver tree" ${posix_env} ${POSIX_TOOLS}/korvaserver tree -apsname shared-repo)
set(windows_tree "${OUT}")

set(posix_env ${CMAKE_COMMAND} -E env KORVA_SERVER_HOME=${WORK}/posix-home)
run("korvaserver init" ${posix_env} ${POSIX_TOOLS}/korvaserver init -apsname shared-repo)
run("korvapush" ${posix_env} ${POSIX_TOOLS}/korvapush -apsname shared-repo
    -srcfile ${SOURCE}/examples/publish.xml -srcpath ${SOURCE}/examples/reports
    -logfile ${WORK}/posix.log)
run("korvaserver tree" ${posix_env} ${POSIX_TOOLS}/korvaserver tree -apsname shared-repo)
set(posix_tree "${OUT}")

# The tree without ids, its top objects (each with the indented lines below
# it) in name order.
function(comparable tree out)
  string(STRIP "${tree}" tree)
  string(REGEX REPLACE "(Folder|Report) [0-9]+ " "\\1 # " tree "${tree}")
  string(REPLACE ";" "\\;" tree "${tree}")
  string(REGEX REPLACE "\n([^ ])" ";\\1" blocks "${tree}")
  list(SORT blocks)
  set(${out} "${blocks}" PARENT_SCOPE)
endfunction()
comparable("${windows_tree}" windows_blocks)
comparable("${posix_tree}" posix_blocks)
if(NOT windows_blocks STREQUAL posix_blocks)
  message(FATAL_ERROR "The repository published from Windows holds\n${windows_tree}\n"
                      "where the one published on POSIX holds\n${posix_tree}")
endif()
if(NOT windows_tree MATCHES "Finance")
  message(FATAL_ERROR "Nothing of the example was published:\n${windows_tree}")
endif()
message(STATUS "${windows_tree}")
file(REMOVE_RECURSE ${WORK})
