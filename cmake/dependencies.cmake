# Third-party libraries; tools/install-deps.sh installs the Debian packages that provide them.
# Both targets define the same imported targets (ZLIB::ZLIB, PkgConfig::GCRYPT, PkgConfig::FFI, Boost::regex,
# GTest::gtest and GTest::gtest_main), so the rest of the build does not know which one it is building.
if(CMAKE_CROSSCOMPILING AND WIN32)
    # The cross sysroot has no pkg-config files we can trust, so the static archives are named here.
    find_path(VELMO_ZLIB_INCLUDE zlib.h REQUIRED)
    find_library(VELMO_ZLIB_LIBRARY NAMES libz.a z REQUIRED)
    add_library(ZLIB::ZLIB STATIC IMPORTED)
    set_target_properties(ZLIB::ZLIB PROPERTIES
        IMPORTED_LOCATION ${VELMO_ZLIB_LIBRARY} INTERFACE_INCLUDE_DIRECTORIES ${VELMO_ZLIB_INCLUDE})

    find_path(VELMO_GCRYPT_INCLUDE gcrypt.h REQUIRED)
    find_library(VELMO_GCRYPT_LIBRARY NAMES libgcrypt.a gcrypt REQUIRED)
    find_library(VELMO_GPG_ERROR_LIBRARY NAMES libgpg-error.a gpg-error REQUIRED)
    add_library(PkgConfig::GCRYPT STATIC IMPORTED)
    # libgcrypt's static archive reaches into libgpg-error and the socket library.
    set_target_properties(PkgConfig::GCRYPT PROPERTIES
        IMPORTED_LOCATION ${VELMO_GCRYPT_LIBRARY} INTERFACE_INCLUDE_DIRECTORIES ${VELMO_GCRYPT_INCLUDE}
        INTERFACE_LINK_LIBRARIES "${VELMO_GPG_ERROR_LIBRARY};ws2_32")

    # Boost.Regex has no mingw package: tools/build-boost-regex-mingw.sh compiles it from Debian's
    # sources against libboost-dev's headers. tools/test-windows.sh runs it before configuring; a
    # build directory configured by hand gets it here.
    set(VELMO_BOOST_REGEX_DIR ${CMAKE_BINARY_DIR}/boost-regex CACHE PATH "Boost.Regex built for mingw-w64")
    if(NOT EXISTS ${VELMO_BOOST_REGEX_DIR}/lib/libboost_regex.a)
        execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/tools/build-boost-regex-mingw.sh ${VELMO_BOOST_REGEX_DIR}
                        RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "tools/build-boost-regex-mingw.sh failed")
        endif()
    endif()
    add_library(Boost::regex STATIC IMPORTED)
    # Only the link to Boost's headers: the host's /usr/include must not shadow the cross sysroot.
    set_target_properties(Boost::regex PROPERTIES
        IMPORTED_LOCATION ${VELMO_BOOST_REGEX_DIR}/lib/libboost_regex.a
        INTERFACE_INCLUDE_DIRECTORIES ${VELMO_BOOST_REGEX_DIR}/include
        INTERFACE_COMPILE_DEFINITIONS BOOST_REGEX_NO_LIB)

    # libffi likewise: tools/build-libffi-mingw.sh builds it from Debian's sources as a static library.
    set(VELMO_LIBFFI_DIR ${CMAKE_BINARY_DIR}/libffi CACHE PATH "libffi built for mingw-w64")
    if(NOT EXISTS ${VELMO_LIBFFI_DIR}/lib/libffi.a)
        execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/tools/build-libffi-mingw.sh ${VELMO_LIBFFI_DIR}
                        RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "tools/build-libffi-mingw.sh failed")
        endif()
    endif()
    add_library(PkgConfig::FFI STATIC IMPORTED)
    set_target_properties(PkgConfig::FFI PROPERTIES
        IMPORTED_LOCATION ${VELMO_LIBFFI_DIR}/lib/libffi.a
        INTERFACE_INCLUDE_DIRECTORIES ${VELMO_LIBFFI_DIR}/include)

    if(VELMO_TESTS AND NOT VELMO_FUZZ)
        # GoogleTest from the sources libgtest-dev ships (it defines GTest::gtest and GTest::gtest_main).
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        foreach(target gtest gtest_main)
            # Third-party code: our warning policy does not apply to it.
            set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS -w)
        endforeach()
        # Test programs run under wine in a prefix of this build's own, with message boxes turned into
        # lines on standard error so that none waits for a click; CTest lists each program's
        # tests when it runs (not when building), so building never starts wine.
        set(CMAKE_CROSSCOMPILING_EMULATOR
            ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all VELMO_NO_DIALOGS=1 wine)
        set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
    endif()
else()
    # The libraries' static archives are linked in when the system has them (docs/heap.md): each
    # shared library costs a start-up's worth of relocations and mapped pages, which for a short
    # script is most of the process's memory, and Debian's shared Boost.Regex drags ICU in although
    # the regular expressions never use it.
    option(VELMO_STATIC_DEPS "Link zlib, libgcrypt, libmspack, libffi and Boost.Regex statically when their archives exist" ON)
    set(ZLIB_USE_STATIC_LIBS ${VELMO_STATIC_DEPS})
    find_package(ZLIB REQUIRED)
    find_package(PkgConfig REQUIRED)
    # Defines PkgConfig::NAME for pkg-config module MODULE, from the archives that `pkg-config
    # --static` names when VELMO_STATIC_DEPS is on and every one of them exists, else shared.
    function(velmo_pkg_library name module)
        pkg_check_modules(${name} REQUIRED ${module})
        set(libraries ${${name}_LINK_LIBRARIES})
        if(VELMO_STATIC_DEPS)
            set(archives)
            foreach(library IN LISTS ${name}_STATIC_LIBRARIES)
                find_library(VELMO_${library}_ARCHIVE NAMES lib${library}.a HINTS ${${name}_STATIC_LIBRARY_DIRS})
                if(NOT VELMO_${library}_ARCHIVE)
                    set(archives)
                    break()
                endif()
                list(APPEND archives ${VELMO_${library}_ARCHIVE})
            endforeach()
            if(archives)
                set(libraries ${archives})
            endif()
        endif()
        add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
        set_target_properties(PkgConfig::${name} PROPERTIES
            INTERFACE_INCLUDE_DIRECTORIES "${${name}_INCLUDE_DIRS}"
            INTERFACE_COMPILE_OPTIONS "${${name}_CFLAGS_OTHER}"
            INTERFACE_LINK_LIBRARIES "${libraries}")
    endfunction()
    velmo_pkg_library(GCRYPT libgcrypt)
    # Cabinet files on POSIX systems; Windows has its own expander.
    velmo_pkg_library(MSPACK libmspack)
    # Native calls of the Dll object.
    velmo_pkg_library(FFI libffi)
    set(Boost_USE_STATIC_LIBS ${VELMO_STATIC_DEPS})
    find_package(Boost 1.74 REQUIRED COMPONENTS regex)

    # The C++ runtime too, for the programs: only the parts used are copied in. Sanitizer builds
    # keep the shared one, whose operator new the sanitizer's runtime replaces.
    if(VELMO_STATIC_DEPS AND NOT VELMO_SANITIZE AND NOT VELMO_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        string(APPEND CMAKE_EXE_LINKER_FLAGS " -static-libstdc++ -static-libgcc")
    endif()

    if(VELMO_TESTS AND NOT VELMO_FUZZ)
        find_package(GTest REQUIRED)
    endif()
endif()
