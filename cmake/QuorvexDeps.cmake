# The third-party libraries under one name each on both systems: Debian's packages through
# pkg-config on Linux, the static libraries tools/windows/build-deps.sh cross-builds on Windows
# (found through CMAKE_PREFIX_PATH / QV_WINDOWS_DEPS).
find_package(Threads REQUIRED)

if(WIN32)
  # Debian's mingw zlib ships an import library too; the installer links nothing but system DLLs.
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  find_package(CURL REQUIRED CONFIG)
  add_library(qv::curl INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::curl INTERFACE CURL::libcurl ZLIB::ZLIB ws2_32 crypt32 secur32 bcrypt)
  add_library(qv::zlib INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::zlib INTERFACE ZLIB::ZLIB)
  # cpp-httplib (header only) for the tests' servers, copied into the dependency prefix.
  add_library(qv::httplib INTERFACE IMPORTED GLOBAL)
  target_include_directories(qv::httplib INTERFACE ${QV_WINDOWS_DEPS}/include)
  target_link_libraries(qv::httplib INTERFACE ws2_32 crypt32)
else()
  find_package(PkgConfig REQUIRED)
  find_package(ZLIB REQUIRED)
  pkg_check_modules(CURL REQUIRED IMPORTED_TARGET GLOBAL libcurl)
  add_library(qv::curl INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::curl INTERFACE PkgConfig::CURL)
  add_library(qv::zlib INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::zlib INTERFACE ZLIB::ZLIB)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
  add_library(qv::httplib INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::httplib INTERFACE PkgConfig::HTTPLIB)
endif()
