# Third-party libraries; tools/install-deps.sh installs the Debian packages that provide them.
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)

if(VELMO_TESTS AND NOT VELMO_FUZZ)
    find_package(GTest REQUIRED)
endif()
