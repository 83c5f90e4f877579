# Shared build helpers: warnings, sanitizers, test and fuzz target registration.
include(GoogleTest)

if(WIN32 AND NOT QV_SANITIZER STREQUAL "")
  message(FATAL_ERROR "The Windows build has no sanitizer configuration (QV_SANITIZER='${QV_SANITIZER}')")
endif()
if(WIN32)
  # Unicode W functions, a lean <windows.h> without min/max macros, and the Windows 7 API level:
  # the programs must start on Windows 7 SP1, so the headers hide every newer function and a
  # direct call of one fails to build. Newer functions are looked up at run time
  # (utils/SystemFunction_win32.h) with a fallback for the older systems.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                          WINVER=0x0601 NTDDI_VERSION=0x06010000 CURL_STATICLIB)
  # One self-contained executable: the C and C++ runtimes and winpthreads linked in, so the
  # programs import system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Sections aligned to whole pages in the file as in memory: the loader can then map the
  # executable's pages from the file instead of reading each section into private memory
  # (wine does that for the usual 512-byte alignment: 11 MB of the installer's start-up
  # working set). Costs a few kilobytes of padding.
  add_link_options(LINKER:--file-alignment,4096)
endif()

if(QV_SANITIZER STREQUAL "asan")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QV_SANITIZER STREQUAL "tsan")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QV_SANITIZER STREQUAL "")
  message(FATAL_ERROR "QV_SANITIZER must be '', asan or tsan (got '${QV_SANITIZER}')")
endif()
if(NOT QV_SANITIZER STREQUAL "")
  # Sanitizer builds exist to find faults: -O1 keeps instrumented code fast enough to run every
  # test and compiles in half the time of -O2, and line tables are all that the reports' stacks
  # read (after the build type's -O2 -g, so these win).
  add_compile_options(-O1 -g1)
endif()
if(NOT WIN32 AND QV_SANITIZER STREQUAL "")
  # Each function and datum in a section of its own, so that a release link (--gc-sections,
  # app/CMakeLists.txt) can drop whatever the installer never reaches: it is downloaded first.
  add_compile_options($<$<CONFIG:Release,MinSizeRel>:-ffunction-sections>
                      $<$<CONFIG:Release,MinSizeRel>:-fdata-sections>)
  # The installer waits on the network, the disk and the user, and its hashing, inflating and
  # drawing run in system libraries: its own code is optimised for size (its machine code a
  # third of -O3's, 2.4 MB stripped instead of 3.25 MB). Benchmarks of our own code may want
  # -O3 back (QV_OPTIMIZE_SIZE=OFF).
  option(QV_OPTIMIZE_SIZE "Optimise release builds for size" ON)
  if(QV_OPTIMIZE_SIZE)
    add_compile_options($<$<CONFIG:Release>:-Os>)
  endif()
endif()

set(QV_WARNINGS -Wall -Wextra -Wno-missing-field-initializers)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 reports impossible overlaps in inlined std::string concatenation ("x" + str) at -O2
  # and above (GCC bug 105651).
  list(APPEND QV_WARNINGS -Wno-restrict)
endif()
if(NOT QV_SANITIZER STREQUAL "" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Sanitizer instrumentation makes GCC's flow analysis report uninitialised reads inside
  # libstdc++ (std::function, std::regex) that do not exist in the uninstrumented build.
  list(APPEND QV_WARNINGS -Wno-maybe-uninitialized)
endif()

# qv_target_defaults(target): our own code gets warnings and the project root on its include path.
function(qv_target_defaults target)
  target_compile_options(${target} PRIVATE ${QV_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# qv_os_sources(out REQUIRED|OPTIONAL sources...): the sources for the system being built.
# Operating-system services live in twins named X_posix.cpp / X_gtk.cpp (Linux) and X_win32.cpp
# (Windows) behind one shared header; lists name the Linux file and Windows builds take its twin.
# A library's twin must exist (REQUIRED); a test source without one is Linux-only (OPTIONAL).
function(qv_os_sources out mode)
  set(result)
  foreach(src ${ARGN})
    if(WIN32 AND src MATCHES "^(.*)_(posix|gtk)\\.cpp$")
      set(twin "${CMAKE_MATCH_1}_win32.cpp")
      if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${twin}" OR EXISTS "${twin}")
        list(APPEND result ${twin})
      elseif(mode STREQUAL "REQUIRED")
        message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}: ${src} has no Windows twin ${twin}")
      endif()
    elseif(NOT WIN32 AND src MATCHES "_win32\\.cpp$")
      # A Windows-only source named in a shared list.
    else()
      list(APPEND result ${src})
    endif()
  endforeach()
  if(result)
    list(REMOVE_DUPLICATES result)
  endif()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# qv_runtime_path(out path): a build-machine path as the programs under test see it. Windows
# programs run under wine, which shows the build machine's root as drive Z:.
function(qv_runtime_path out path)
  if(WIN32 AND path MATCHES "^/")
    set(path "Z:${path}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()
# The source tree as the programs under test see it (for compile definitions of test data paths).
qv_runtime_path(QV_RUNTIME_SOURCE_DIR "${PROJECT_SOURCE_DIR}")

# qv_add_library(name SOURCES ... [LIBS ...] [POSIX_LIBS ...] [WIN32_LIBS ...]): one static
# library per subsystem folder; the *_LIBS lists are linked only on their system.
function(qv_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;POSIX_LIBS;WIN32_LIBS" ${ARGN})
  qv_os_sources(sources REQUIRED ${ARG_SOURCES})
  add_library(${name} STATIC ${sources})
  qv_target_defaults(${name})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  if(WIN32)
    target_link_libraries(${name} PUBLIC ${ARG_WIN32_LIBS})
  else()
    target_link_libraries(${name} PUBLIC ${ARG_POSIX_LIBS})
  endif()
endfunction()

# qv_add_test(name SOURCES ... [LIBS ...] [LABELS ...] [THREADED] [TIMEOUT s] [COST n]
#             [LOCK name]):
# one GoogleTest executable, registered with ctest test by test. THREADED marks the programs
# that the ThreadSanitizer configuration builds and runs (label "tsan"). COST is the seconds its
# slowest test takes: a parallel ctest without timings of an earlier run (a fresh clone) starts
# the costly tests first, so that none of them is left to run alone at the end. LOCK names what
# every test of the program holds for its whole length (ctest's RESOURCE_LOCK): ctest then runs
# them one at a time and gives its other slots to other tests instead of to tests that would
# only wait.
function(qv_add_test name)
  cmake_parse_arguments(ARG "THREADED" "TIMEOUT;COST;LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
  qv_os_sources(sources OPTIONAL ${ARG_SOURCES})
  add_executable(${name} ${sources})
  qv_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(labels ${ARG_LABELS})
  if(ARG_THREADED)
    list(APPEND labels tsan)
    set_property(GLOBAL APPEND PROPERTY QV_THREADED_TESTS ${name})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(WIN32)
    # Test programs of the Windows build run under wine, each test in a lane of its own
    # (tools/windows/test.sh).
    list(APPEND labels windows)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_COST)
    list(APPEND props COST ${ARG_COST})
  endif()
  if(ARG_LOCK)
    list(APPEND props RESOURCE_LOCK ${ARG_LOCK})
  endif()
  if(WIN32)
    list(APPEND props RESOURCE_GROUPS lane:1)
  endif()
  if(labels)
    list(APPEND props LABELS "${labels}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${props}
    DISCOVERY_TIMEOUT 120)
endfunction()

# qv_test_paths(target NAME value [NAME value ...]): in the target's sources each NAME is a
# `const char*` naming the path `value` (generator expressions allowed: $<TARGET_FILE:...>), as
# NAME="value" compile definitions would give, but the paths stay off the compile line of the
# target's own sources: they are defined in a small generated source of their own, and the
# others see only a forced-included header of declarations. A path on the compile line (this
# clone's source or build folder) would make the compiler cache miss every one of them in a new
# clone of the same sources.
function(qv_test_paths target)
  set(declarations "/* Generated by qv_test_paths (cmake/Quorvex.cmake). */\n#pragma once\n")
  set(definitions "/* Generated by qv_test_paths (cmake/Quorvex.cmake): paths of this build. */\n")
  set(args ${ARGN})
  while(args)
    list(POP_FRONT args name value)
    string(APPEND declarations "extern const char qv_path_${name}[];\n#define ${name} qv_path_${name}\n")
    string(APPEND definitions "extern const char qv_path_${name}[] = \"${value}\";\n")
  endwhile()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${target}.dir)
  file(CONFIGURE OUTPUT ${dir}/qv_test_paths.h CONTENT "${declarations}" @ONLY)
  file(GENERATE OUTPUT ${dir}/qv_test_paths.cpp CONTENT "${definitions}")
  target_sources(${target} PRIVATE ${dir}/qv_test_paths.cpp)
  target_compile_options(${target} PRIVATE "SHELL:-include ${dir}/qv_test_paths.h")
endfunction()

# qv_add_fuzzer(name SOURCES ... [LIBS ...] [CORPUS dir]): a libFuzzer target
# (LLVMFuzzerTestOneInput). Without QV_FUZZ it is linked with a replay driver and ctest runs it
# over its seed corpus, so every build keeps the target compiling and the seeds passing.
function(qv_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(QV_FUZZ)
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # tools/fuzz.sh finds every target, whatever its name, and its seed corpus through this list.
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz-targets/${name} "${ARG_CORPUS}\n")
  else()
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/FuzzReplayMain.cpp)
    if(QV_BUILD_TESTS AND ARG_CORPUS)
      qv_runtime_path(corpus "${ARG_CORPUS}")
      add_test(NAME ${name}_corpus COMMAND ${name} ${corpus})
      set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz TIMEOUT 120)
      if(WIN32)
        set_tests_properties(${name}_corpus PROPERTIES RESOURCE_GROUPS lane:1)
      endif()
    endif()
  endif()
  qv_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Called once at the end of the top-level file: each target's C++ sources are compiled a few at a
# time in one translation unit (QV_UNITY_BUILD), so the large headers (GTK, cairo, googletest,
# the standard library) are parsed once per batch instead of once per file; errors still name
# the original file and line. The batch files include the sources by their path from the top of
# the tree ("download/CurlClient.cpp", found through the project's include path), never by an
# absolute path: their bytes are then the same in every clone, and the compiler cache serves a
# new clone of the same sources what an earlier one compiled. (CMake's own unity build writes
# absolute paths, which no two clones share.)
# Left out: the Windows sources (<windows.h> defines macros such as WM_* and the A/W renamings,
# and types such as HRESULT, that the portable sources use as names of their own), generated
# sources, and sources with compile settings of their own.
function(qv_finish_unity_build)
  if(NOT QV_UNITY_BUILD)
    return()
  endif()
  set(dirs ${PROJECT_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      qv_unity_batches(${target})
    endforeach()
  endwhile()
endfunction()

function(qv_unity_batches target)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE|OBJECT_LIBRARY)$")
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  get_target_property(binary_dir ${target} BINARY_DIR)
  set(batch)
  set(batches)
  foreach(src ${sources})
    if(NOT src MATCHES "\\.cpp$" OR src MATCHES "_win32\\.cpp$")
      continue()
    endif()
    get_filename_component(path ${src} ABSOLUTE BASE_DIR ${source_dir})
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${path} NORMALIZE inside)
    cmake_path(IS_PREFIX PROJECT_BINARY_DIR ${path} NORMALIZE built)
    if(NOT inside OR built)
      continue()
    endif()
    # A source another target of its folder batched already is this target's to batch too.
    get_source_file_property(batched ${path} TARGET_DIRECTORY ${target} QV_BATCHED)
    set(own)
    if(NOT batched)
      foreach(prop GENERATED COMPILE_DEFINITIONS COMPILE_OPTIONS COMPILE_FLAGS INCLUDE_DIRECTORIES
                   SKIP_UNITY_BUILD_INCLUSION HEADER_FILE_ONLY)
        get_source_file_property(value ${path} TARGET_DIRECTORY ${target} ${prop})
        if(value)
          set(own ${prop})
        endif()
      endforeach()
    endif()
    if(own)
      continue()
    endif()
    list(APPEND batch ${path})
    list(LENGTH batch n)
    if(n EQUAL 8)
      list(JOIN batch "|" joined)
      list(APPEND batches ${joined})
      set(batch)
    endif()
  endforeach()
  if(batch)
    list(JOIN batch "|" joined)
    list(APPEND batches ${joined})
  endif()
  set(index 0)
  set(unity_files)
  set(unified)
  foreach(joined ${batches})
    string(REPLACE "|" ";" members ${joined})
    set(content "/* Generated by qv_finish_unity_build (cmake/Quorvex.cmake). */\n")
    foreach(member ${members})
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${member})
      string(APPEND content "#include \"${rel}\"\n")
    endforeach()
    set(file ${binary_dir}/CMakeFiles/${target}.dir/unity_${index}.cpp)
    file(CONFIGURE OUTPUT ${file} CONTENT "${content}" @ONLY)
    list(APPEND unity_files ${file})
    list(APPEND unified ${members})
    math(EXPR index "${index} + 1")
  endforeach()
  if(unity_files)
    target_sources(${target} PRIVATE ${unity_files})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    set_source_files_properties(${unified} TARGET_DIRECTORY ${target} PROPERTIES HEADER_FILE_ONLY ON QV_BATCHED ON)
  endif()
endfunction()

# Called once at the end of the top-level file: the aggregate target the ThreadSanitizer run builds.
function(qv_finish_threaded_tests)
  get_property(threaded GLOBAL PROPERTY QV_THREADED_TESTS)
  add_custom_target(qv_threaded_tests)
  if(threaded)
    add_dependencies(qv_threaded_tests ${threaded})
  endif()
endfunction()
