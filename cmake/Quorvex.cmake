# Shared build helpers: warnings, sanitizers, test and fuzz target registration.
include(GoogleTest)

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

# qv_add_library(name SOURCES ... [LIBS ...]): one static library per subsystem folder.
function(qv_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  qv_target_defaults(${name})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# qv_add_test(name SOURCES ... [LIBS ...] [LABELS ...] [THREADED] [TIMEOUT s]):
# one GoogleTest executable, registered with ctest test by test. THREADED marks the programs
# that the ThreadSanitizer configuration builds and runs (label "tsan").
function(qv_add_test name)
  cmake_parse_arguments(ARG "THREADED" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
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
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(labels)
    list(APPEND props LABELS "${labels}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${props}
    DISCOVERY_TIMEOUT 60)
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
      add_test(NAME ${name}_corpus COMMAND ${name} ${ARG_CORPUS})
      set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz TIMEOUT 120)
    endif()
  endif()
  qv_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Called once at the end of the top-level file: the aggregate target the ThreadSanitizer run builds.
function(qv_finish_threaded_tests)
  get_property(threaded GLOBAL PROPERTY QV_THREADED_TESTS)
  add_custom_target(qv_threaded_tests)
  if(threaded)
    add_dependencies(qv_threaded_tests ${threaded})
  endif()
endfunction()
