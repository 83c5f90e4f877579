# Checks the Windows installer's import table (run with cmake -P):
#   -DOBJDUMP=<objdump> -DEXE=<quorvex-installer.exe> -DALLOWED=<dll;...> -DDELAYED=<dll;...>
# Windows resolves ordinary imports before the program can limit where libraries come from, so
# only libraries the system always takes from its own folder (its known libraries) may be
# imported that way; the others must be delay-loaded. An import table that cannot be read fails.
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read the headers of ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${headers}")
if(NOT names)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
string(TOLOWER "${ALLOWED}" allowed)
foreach(line IN LISTS names)
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST allowed)
    message(FATAL_ERROR "${EXE} imports ${dll} before start-up can protect the search for it")
  endif()
endforeach()
# The delay-loaded libraries are named in the file for the loader helper to find.
file(STRINGS ${EXE} texts REGEX "^[A-Za-z0-9_]+\\.dll$")
string(TOLOWER "${texts}" texts)
foreach(dll IN LISTS DELAYED)
  if(NOT "${dll}" IN_LIST texts)
    message(FATAL_ERROR "${EXE} does not delay-load ${dll}")
  endif()
endforeach()
list(LENGTH names count)
message(STATUS "${count} ordinary imports, all known system libraries; delay-loaded: ${DELAYED}")
