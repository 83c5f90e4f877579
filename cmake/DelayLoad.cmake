# Delay-loaded system libraries for a Windows executable.
#
# Windows resolves an executable's ordinary imports before its first instruction runs, and for
# a library that is not one of the system's "known" ones it looks in the executable's own folder
# first. An installer is usually started from a downloads folder where anybody's page may have
# left a file of the same name. Imports named here are loaded instead at their first call, after
# the start-up has limited library loads to the system folder (ProcessHardening_win32.cpp).
#
# qv_delay_load(TARGET dll-name...) makes, for each name (e.g. "crypt32"), a delay-import library
# from the toolchain's import library, with the same exports, and puts its folder first on the
# target's library path, so every "-l<name>" of the target and of the libraries it links
# (libcurl's included) takes it. The delay-load helper comes with the toolchain's C runtime.
function(qv_delay_load target)
  if(NOT WIN32)
    return()
  endif()
  # The toolchain's own dlltool: another architecture's would make thunks the linker rejects.
  find_program(QV_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool dlltool REQUIRED)
  # 32-bit x86 names C symbols with a leading underscore and __stdcall ones with "@<bytes of
  # arguments>" ("__imp__CertOpenStore@20"): the definition lists them without the underscore
  # (dlltool adds it) and dlltool's --kill-at imports them by the undecorated name the DLL
  # exports, as the toolchain's own import libraries do.
  set(underscore "")
  set(kill_at "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(underscore "_")
    set(kill_at --kill-at)
  endif()
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/delay-load-${target})
  file(MAKE_DIRECTORY ${folder})
  foreach(name IN LISTS ARGN)
    find_library(import_${name} NAMES lib${name}.a NO_CACHE REQUIRED)
    set(def ${folder}/${name}.def)
    set(lib ${folder}/lib${name}.a)
    # The exports, read from the import library's "__imp_" symbols.
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_${name}}
                    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_QUIET)
    if(failed)
      message(FATAL_ERROR "Cannot list the exports of ${import_${name}}")
    endif()
    string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE "^__imp_${underscore}" "")
    list(REMOVE_DUPLICATES imports)
    if(NOT imports)
      message(FATAL_ERROR "No exports found in ${import_${name}}")
    endif()
    list(JOIN imports "\n" exports)
    file(WRITE ${def}.new "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
    file(COPY_FILE ${def}.new ${def} ONLY_IF_DIFFERENT)
    if(NOT EXISTS ${lib} OR ${def} IS_NEWER_THAN ${lib})
      execute_process(COMMAND ${QV_DLLTOOL} --input-def ${def} --output-delaylib ${lib} --dllname ${name}.dll ${kill_at}
                      RESULT_VARIABLE failed ERROR_VARIABLE message)
      if(failed)
        message(FATAL_ERROR "dlltool could not make the delay-import library of ${name}: ${message}")
      endif()
    endif()
    # A library added to the list later must relink the target, though its command stays the same.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${lib})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # The 32-bit linker (binutils 2.40) drops an import member's code when only its "__imp_"
      # slot is referenced, as every call through a dllimport declaration does, and the slot
      # then starts out as 0 instead of pointing at the code that loads the library: the first
      # call jumps to address 0. Every function's load code is therefore kept (tens of bytes
      # each).
      list(TRANSFORM imports PREPEND "-Wl,-u,_" OUTPUT_VARIABLE keep)
      list(JOIN keep "\n" keep)
      set(rsp ${folder}/${name}.keep)
      file(WRITE ${rsp}.new "${keep}\n")
      file(COPY_FILE ${rsp}.new ${rsp} ONLY_IF_DIFFERENT)
      target_link_options(${target} PRIVATE "@${rsp}")
      set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${rsp})
    endif()
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${folder})
endfunction()
