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
  # libpng and cairo (win32 and image surfaces, PNG functions) over pixman. cairo's headers
  # declare its functions dllimport unless CAIRO_WIN32_STATIC_BUILD is defined; it draws through
  # GDI (gdi32) and alpha-blends through msimg32, and was compiled with _FORTIFY_SOURCE, whose
  # checked copies live in libssp.
  find_path(QV_PNG_INCLUDE_DIR png.h PATH_SUFFIXES libpng16 REQUIRED)
  find_library(QV_PNG_LIBRARY NAMES png16 REQUIRED)
  add_library(qv::png INTERFACE IMPORTED GLOBAL)
  target_include_directories(qv::png INTERFACE ${QV_PNG_INCLUDE_DIR})
  target_link_libraries(qv::png INTERFACE ${QV_PNG_LIBRARY} ZLIB::ZLIB)
  find_path(QV_CAIRO_INCLUDE_DIR cairo.h PATH_SUFFIXES cairo REQUIRED)
  find_library(QV_CAIRO_LIBRARY NAMES cairo REQUIRED)
  find_library(QV_PIXMAN_LIBRARY NAMES pixman-1 REQUIRED)
  add_library(qv::cairo INTERFACE IMPORTED GLOBAL)
  target_include_directories(qv::cairo INTERFACE ${QV_CAIRO_INCLUDE_DIR})
  target_compile_definitions(qv::cairo INTERFACE CAIRO_WIN32_STATIC_BUILD)
  target_link_libraries(qv::cairo INTERFACE ${QV_CAIRO_LIBRARY} ${QV_PIXMAN_LIBRARY} qv::png
                        gdi32 msimg32 ssp)
  # libzip (Windows crypto, zlib) and pugixml for the skin reader, both static.
  find_package(libzip REQUIRED CONFIG)
  add_library(qv::zip INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::zip INTERFACE libzip::zip)
  find_package(pugixml REQUIRED CONFIG)
  add_library(qv::pugixml INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::pugixml INTERFACE pugixml::pugixml)
  # libcrypto (static, Ed25519 for the package signatures); it seeds its random generator through
  # BCrypt and reads the certificate store API even when unused.
  find_path(QV_CRYPTO_INCLUDE_DIR openssl/evp.h REQUIRED)
  find_library(QV_CRYPTO_LIBRARY NAMES libcrypto.a crypto REQUIRED)
  add_library(qv::crypto INTERFACE IMPORTED GLOBAL)
  target_include_directories(qv::crypto INTERFACE ${QV_CRYPTO_INCLUDE_DIR})
  target_link_libraries(qv::crypto INTERFACE ${QV_CRYPTO_LIBRARY} bcrypt crypt32 ws2_32 user32 advapi32)
else()
  find_package(PkgConfig REQUIRED)
  find_package(ZLIB REQUIRED)
  pkg_check_modules(CURL REQUIRED IMPORTED_TARGET GLOBAL libcurl)
  add_library(qv::curl INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::curl INTERFACE PkgConfig::CURL)
  add_library(qv::zlib INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::zlib INTERFACE ZLIB::ZLIB)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  add_library(qv::crypto INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::crypto INTERFACE OpenSSL::Crypto)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
  add_library(qv::httplib INTERFACE IMPORTED GLOBAL)
  target_link_libraries(qv::httplib INTERFACE PkgConfig::HTTPLIB)
endif()
