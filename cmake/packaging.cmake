# Installation and the Debian package: `make package` (cpack -G DEB in the build folder).
#
# Programs go to bin/, the menu entry and icon to share/, the guide, README and licence to the
# documentation folder (the guide next to the program on Windows, where "Aide" looks first).
# A new program is installed by adding it to VEQ_INSTALLED_PROGRAMS when its target exists.
include(GNUInstallDirs)
if(WIN32 AND MINGW)
    include(cmake/windows-package.cmake)
    return()
endif()
# The documentation folder is named after the package (app/CMakeLists.txt tells "Aide" where).
set(VEQ_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/veq-cadence)

set(VEQ_INSTALLED_PROGRAMS veq-cadence)
if(TARGET veq-panel-sim)
    list(APPEND VEQ_INSTALLED_PROGRAMS veq-panel-sim)
endif()
if(TARGET veqctl)
    list(APPEND VEQ_INSTALLED_PROGRAMS veqctl)
endif()
install(TARGETS ${VEQ_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
    set(_guide_dir ${CMAKE_INSTALL_BINDIR})
    install(FILES LICENSE README.md DESTINATION ${VEQ_DOCDIR})
else()
    set(_guide_dir ${VEQ_DOCDIR})
    install(FILES app/veq-cadence.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES app/icons/veq-cadence.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
    install(FILES README.md cmake/debian/copyright DESTINATION ${VEQ_DOCDIR})
    # A Debian package carries its changelog, compressed without a time stamp.
    set(VEQ_MAINTAINER "the VEQ Cadence developers <veq-cadence@example.org>")
    string(TIMESTAMP VEQ_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
    configure_file(cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
    find_program(VEQ_GZIP gzip)
    if(VEQ_GZIP)
        execute_process(COMMAND ${VEQ_GZIP} -n -9 -c ${CMAKE_BINARY_DIR}/debian/changelog
                        OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.gz)
        install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${VEQ_DOCDIR})
    endif()
endif()
if(VEQ_GUIDE)
    install(FILES ${VEQ_GUIDE} DESTINATION ${_guide_dir})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veq-cadence)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the VEQ Cadence developers")
set(CPACK_PACKAGE_CONTACT "${VEQ_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for VEQ production-rate display panels")
# Lines of at most 79 characters: dpkg shows them as they are.
set(CPACK_PACKAGE_DESCRIPTION
    "VEQ Cadence reads the parameter memory of a VEQ production-rate display panel
over a serial link, shows its settings (value ranges and colours, time base,
averaging, anti-bounce, stop threshold), lets the operator change them and
programs them back into the panel. It also scans the serial ports for a panel.
The user interface is French. The package also holds veq-panel-sim, a
simulated panel on a pseudo-terminal, for training.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the libraries: the platform plugin that shows windows (only recommended by Qt) and the
# fonts with the metrics the window layouts were measured with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package test: builds the package from this build and checks its contents.
find_program(VEQ_DPKG_DEB dpkg-deb)
if(VEQ_DPKG_DEB AND NOT WIN32 AND NOT VEQ_SANITIZE AND NOT VEQ_FUZZ)
    set(_expected usr/bin/veq-cadence usr/share/applications/veq-cadence.desktop
                  usr/share/icons/hicolor/256x256/apps/veq-cadence.png
                  usr/share/doc/veq-cadence/README.md usr/share/doc/veq-cadence/copyright
                  usr/share/doc/veq-cadence/changelog.gz)
    foreach(_program IN LISTS VEQ_INSTALLED_PROGRAMS)
        list(APPEND _expected usr/bin/${_program})
    endforeach()
    if(VEQ_GUIDE)
        list(APPEND _expected usr/share/doc/veq-cadence/VEQ_KLD.doc)
    endif()
    list(JOIN _expected "|" _expected)
    add_test(NAME Package.ContentsEntryAndLintian
             COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                     -DOUT_DIR=${CMAKE_BINARY_DIR}/package-test -DEXPECTED=${_expected}
                     -P ${CMAKE_SOURCE_DIR}/tests/package/check_package.cmake)
    set_tests_properties(Package.ContentsEntryAndLintian PROPERTIES TIMEOUT 300)
endif()
