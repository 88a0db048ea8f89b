# The Windows build: the programs' icon and version resource, GoogleTest built from its sources
# (a cross build finds no GoogleTest for Windows), and Wine as the runner of the test programs
# when the build is a cross build from Linux.

# The icon and version resource of a program: FILE_DESCRIPTION in French.
function(veq_windows_resources target description)
    if(NOT WIN32)
        return()
    endif()
    set(VEQ_RC_NAME ${target})
    set(VEQ_RC_FILE ${target}.exe)
    set(VEQ_RC_DESCRIPTION "${description}")
    set(VEQ_RC_ICON ${CMAKE_SOURCE_DIR}/app/icons/veq-cadence.ico)
    set(_rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/version.rc.in ${_rc} @ONLY)
    target_sources(${target} PRIVATE ${_rc})
endfunction()

# GoogleTest from a source tree (Debian's /usr/src/googletest) instead of an installed one.
set(VEQ_GTEST_SOURCE "" CACHE PATH "GoogleTest sources to build the tests with (cross builds)")
macro(veq_find_gtest)
    if(VEQ_GTEST_SOURCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
        add_subdirectory(${VEQ_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        foreach(_lib gtest gtest_main gmock gmock_main)
            if(NOT TARGET GTest::${_lib})
                add_library(GTest::${_lib} ALIAS ${_lib})
            endif()
        endforeach()
    else()
        find_package(GTest REQUIRED)
    endif()
endmacro()

# The MinGW runtime libraries every program of a MinGW build needs beside it.
if(MINGW)
    set(VEQ_MINGW_RUNTIME "")
    foreach(_dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                        OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
            # libwinpthread lies with the MinGW-w64 libraries, not with the compiler's.
            set(_path /usr/x86_64-w64-mingw32/lib/${_dll})
        endif()
        if(NOT EXISTS "${_path}")
            message(FATAL_ERROR "MinGW runtime ${_dll} not found")
        endif()
        get_filename_component(_path "${_path}" ABSOLUTE)
        list(APPEND VEQ_MINGW_RUNTIME ${_path})
    endforeach()
endif()

# Wine runs the Windows test programs of a cross build: CTest and gtest_discover_tests go through
# wine/run, which uses a Wine prefix of this build's own (made on first use) and finds Qt's and
# MinGW's DLLs through WINEPATH.
if(WIN32 AND MINGW AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX AND BUILD_TESTING)
    find_program(VEQ_WINE wine REQUIRED)
    get_filename_component(_qt_bin "${Qt6Core_DIR}/../../../bin" ABSOLUTE)
    set(_dll_dirs ${_qt_bin})
    foreach(_path ${VEQ_MINGW_RUNTIME})
        get_filename_component(_dir "${_path}" DIRECTORY)
        list(APPEND _dll_dirs ${_dir})
    endforeach()
    list(REMOVE_DUPLICATES _dll_dirs)
    # Z: is the root of the Linux file system in every Wine prefix.
    set(VEQ_WINEPATH "")
    foreach(_dir ${_dll_dirs})
        string(REPLACE "/" "\\" _win "Z:${_dir}")
        list(APPEND VEQ_WINEPATH "${_win}")
    endforeach()
    list(JOIN VEQ_WINEPATH ";" VEQ_WINEPATH)
    set(VEQ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(VEQ_WIRE_COM3 ${CMAKE_BINARY_DIR}/wire/com3)
    # Headless (offscreen) Qt on Windows draws with the fonts of one folder: the Liberation fonts
    # the Linux tests use, so that the same captions fit.
    find_path(VEQ_TEST_FONTDIR LiberationSans-Regular.ttf
              PATHS /usr/share/fonts/truetype/liberation2 NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    if(NOT VEQ_TEST_FONTDIR)
        message(FATAL_ERROR "The Liberation fonts (fonts-liberation2) are needed by the tests")
    endif()
    # The test programs find Qt's plugins and Qt's French texts (Debian's, the same Qt version)
    # through a qt.conf beside them, as the installed program does.
    find_file(VEQ_QTBASE_FR qtbase_fr.qm PATHS /usr/share/qt6/translations
              NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    if(NOT VEQ_QTBASE_FR)
        message(FATAL_ERROR "qtbase_fr.qm (qt6-translations-l10n) is needed by the tests")
    endif()
    file(COPY ${VEQ_QTBASE_FR} DESTINATION ${CMAKE_BINARY_DIR}/translations)
    get_filename_component(_qt_prefix "${_qt_bin}/.." ABSOLUTE)
    file(WRITE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/qt.conf
         "[Paths]\nPrefix=Z:${_qt_prefix}\nTranslations=Z:${CMAKE_BINARY_DIR}/translations\n")
    configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/wine-run.in ${CMAKE_BINARY_DIR}/wine/run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine/run)
endif()
