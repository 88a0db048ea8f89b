# What an operator installs on Windows (MinGW-w64 build): one folder holding the programs, the Qt
# libraries and plugins they use, the MinGW runtime, Qt's French texts, the guide (next to the
# program, where "Aide" looks first), the README and the licence. `make windows-package` makes
# VEQ-Cadence-<version>-win64-setup.exe (NSIS: Program Files, Start menu, uninstaller, an entry in
# the installed programs, French texts), VEQ-Cadence-<version>-win64.zip (runs in place) and
# VEQ-Cadence-<version>-win64.msi (wixl, for deployment by an IT department: cmake/windows/msi.cmake
# as CPack's External generator), all three from the same install step. With a certificate in the
# environment (cmake/windows/sign.sh) the programs are signed in the staging folder before they are
# packed, then the setup program, its uninstaller and the MSI.

get_filename_component(_qt_prefix "${Qt6Core_DIR}/../../.." ABSOLUTE)
install(TARGETS veq-cadence veqctl RUNTIME DESTINATION .)
foreach(_qt Core Gui Widgets SerialPort)
    install(FILES ${_qt_prefix}/bin/Qt6${_qt}.dll DESTINATION .)
endforeach()
install(FILES ${_qt_prefix}/plugins/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${_qt_prefix}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles)
install(FILES ${VEQ_MINGW_RUNTIME} DESTINATION .)
# Qt's French texts are the same on every platform: Debian's, of the same Qt version.
find_file(VEQ_QTBASE_FR qtbase_fr.qm PATHS /usr/share/qt6/translations ${_qt_prefix}/translations
          NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(VEQ_QTBASE_FR)
    install(FILES ${VEQ_QTBASE_FR} DESTINATION translations)
else()
    message(WARNING "qtbase_fr.qm not found: the package would lack Qt's French texts")
endif()
# Qt looks for its plugins beside the program and for its texts in translations/.
file(WRITE ${CMAKE_BINARY_DIR}/package/qt.conf "[Paths]\nPrefix=.\nPlugins=.\nTranslations=translations\n")
install(FILES ${CMAKE_BINARY_DIR}/package/qt.conf DESTINATION .)
install(FILES README.md LICENSE DESTINATION .)
if(VEQ_GUIDE)
    install(FILES ${VEQ_GUIDE} DESTINATION .)
endif()

set(CPACK_GENERATOR "NSIS;ZIP;External")
set(CPACK_VEQ_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/windows/sign-stage.cmake)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/windows/msi.cmake)
set(CPACK_PACKAGE_NAME "VEQ Cadence")
set(CPACK_PACKAGE_VENDOR "Les développeurs de VEQ Cadence")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration des panneaux d'affichage de cadence VEQ")
set(CPACK_PACKAGE_FILE_NAME "VEQ-Cadence-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "VEQ Cadence")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The zip holds the folder itself.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The setup program: its own name, Program Files of 64-bit Windows, the program in the Start menu
# (with its icon) and in the installed programs.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package/cpack-config.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
     "if(CPACK_GENERATOR STREQUAL \"NSIS\")\n"
     "    set(CPACK_PACKAGE_FILE_NAME \"VEQ-Cadence-${PROJECT_VERSION}-win64-setup\")\n"
     "endif()\n")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "VEQ Cadence")
set(CPACK_NSIS_DISPLAY_NAME "VEQ Cadence")
set(CPACK_PACKAGE_EXECUTABLES veq-cadence "VEQ Cadence")
set(CPACK_NSIS_INSTALLED_ICON_NAME veq-cadence.exe)
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/app/icons/veq-cadence.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/app/icons/veq-cadence.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_UNINSTALL_NAME "Desinstaller")
# CMake's own installer script, in French only, made a 64-bit program (like the one it installs:
# Windows on ARM and 64-bit Windows run it, and Wine without its 32-bit part too).
set(_nsis_template ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
if(EXISTS ${_nsis_template})
    file(READ ${_nsis_template} _nsis)
    # After its first line (which starts with a byte-order mark).
    string(FIND "${_nsis}" "\n" _eol)
    math(EXPR _eol "${_eol} + 1")
    string(SUBSTRING "${_nsis}" 0 ${_eol} _first)
    string(SUBSTRING "${_nsis}" ${_eol} -1 _rest)
    # The setup program and the uninstaller it writes are signed as makensis finishes each.
    set(_sign "${CMAKE_SOURCE_DIR}/cmake/windows/sign.sh")
    string(CONCAT _nsis "${_first}Target amd64-unicode\n!finalize '\"${_sign}\" \"%1\"'\n"
           "!uninstfinalize '\"${_sign}\" \"%1\"'\n${_rest}")
    string(REGEX REPLACE "!insertmacro MUI_LANGUAGE \"English\"[^\n]*\n([^\n]*MUI_LANGUAGE[^\n]*\n)*"
                         "!insertmacro MUI_LANGUAGE \"French\"\n" _nsis "${_nsis}")
    file(WRITE ${CMAKE_BINARY_DIR}/package/nsis/NSIS.template.in "${_nsis}")
    list(PREPEND CMAKE_MODULE_PATH ${CMAKE_BINARY_DIR}/package/nsis)
    set(CPACK_MODULE_PATH ${CMAKE_MODULE_PATH})
endif()
include(CPack)
