# The MSI package (wixl, of Debian's msitools): per machine, 64-bit, the program's folder into
# Program Files\VEQ Cadence, a Start-menu shortcut with the icon, an entry in the installed programs
# with the name, version, publisher and icon, French. Its file list is made here from the folder
# the install step filled, so it holds exactly what the setup program and the zip hold.
#
# The UpgradeCode never changes; the product code is derived from the version (one per version).
# A newer MSI removes the installed one first (a major upgrade): there is only ever one entry in
# the installed programs. An older one is refused.
#
# Run by CPack as the External generator's script (cpack -G External), on its staging folder, or
# on its own (the package test makes a higher version this way):
#   cmake -DVEQ_MSI_STAGE=FOLDER -DVEQ_MSI_VERSION=1.2.3 -DVEQ_MSI_OUTPUT=FILE.msi
#         -DVEQ_MSI_SOURCE=REPOSITORY -P cmake/windows/msi.cmake
# The programs in the folder are signed beforehand (when a certificate is given); the MSI is signed
# here by sign.sh, which does nothing without one.
cmake_minimum_required(VERSION 3.25)

set(_upgrade_code 96913BF7-1DEE-48A7-B514-F722BAE00FDD)

if(CPACK_TEMPORARY_DIRECTORY)
    set(VEQ_MSI_STAGE ${CPACK_TEMPORARY_DIRECTORY})
    # The zip's top folder, when the staging keeps it.
    if(IS_DIRECTORY ${VEQ_MSI_STAGE}/${CPACK_PACKAGE_FILE_NAME})
        set(VEQ_MSI_STAGE ${VEQ_MSI_STAGE}/${CPACK_PACKAGE_FILE_NAME})
    endif()
    set(VEQ_MSI_VERSION ${CPACK_PACKAGE_VERSION})
    set(VEQ_MSI_OUTPUT ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi)
    set(VEQ_MSI_SOURCE ${CPACK_VEQ_SOURCE_DIR})
endif()
foreach(_v VEQ_MSI_STAGE VEQ_MSI_VERSION VEQ_MSI_OUTPUT VEQ_MSI_SOURCE)
    if(NOT ${_v})
        message(FATAL_ERROR "msi.cmake: ${_v} is not set")
    endif()
endforeach()
find_program(_wixl wixl)
find_program(_msibuild msibuild)
if(NOT _wixl OR NOT _msibuild)
    message(FATAL_ERROR "wixl and msibuild (Debian packages wixl, msitools) make the MSI package")
endif()

string(UUID _product_code NAMESPACE ${_upgrade_code} NAME "VEQ Cadence ${VEQ_MSI_VERSION}"
       TYPE SHA1 UPPER)
set(_manufacturer "Les développeurs de VEQ Cadence")
set(_summary "Configuration des panneaux d'affichage de cadence VEQ")

# The folder's tree: one Directory per folder, one Component per file (its key), ids made from the
# path (stable from one build to the next).
file(GLOB_RECURSE _files RELATIVE ${VEQ_MSI_STAGE} LIST_DIRECTORIES false ${VEQ_MSI_STAGE}/*)
list(SORT _files)
if(NOT "veq-cadence.exe" IN_LIST _files)
    message(FATAL_ERROR "msi.cmake: no veq-cadence.exe in ${VEQ_MSI_STAGE}")
endif()
function(_id prefix text out)
    string(MD5 _h "${text}")
    set(${out} ${prefix}${_h} PARENT_SCOPE)
endfunction()
function(_xml text out)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
# The files of one folder (relative path, "" for the top), then its sub-folders, recursively.
set(_components "")
function(_folder dir indent out)
    set(_xml_out "")
    set(_subdirs "")
    foreach(_f ${_files})
        get_filename_component(_d "${_f}" DIRECTORY)
        if(_d STREQUAL dir)
            get_filename_component(_n "${_f}" NAME)
            _id(c_ "${_f}" _cid)
            _id(f_ "${_f}" _fid)
            _xml("${_n}" _name)
            file(RELATIVE_PATH _rel ${_out_dir} ${VEQ_MSI_STAGE}/${_f})
            _xml("${_rel}" _src)
            string(APPEND _xml_out
                   "${indent}<Component Id=\"${_cid}\" Guid=\"*\" Win64=\"yes\">\n"
                   "${indent}  <File Id=\"${_fid}\" Name=\"${_name}\" Source=\"${_src}\" KeyPath=\"yes\"/>\n"
                   "${indent}</Component>\n")
            list(APPEND _components ${_cid})
        elseif(dir STREQUAL "" AND NOT _d STREQUAL "")
            string(REGEX REPLACE "/.*" "" _top "${_d}")
            list(APPEND _subdirs "${_top}")
        elseif(NOT dir STREQUAL "" AND _d MATCHES "^${dir}/")
            string(LENGTH "${dir}/" _l)
            string(SUBSTRING "${_d}" ${_l} -1 _rest)
            string(REGEX REPLACE "/.*" "" _top "${_rest}")
            list(APPEND _subdirs "${dir}/${_top}")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES _subdirs)
    foreach(_s ${_subdirs})
        get_filename_component(_n "${_s}" NAME)
        _id(d_ "${_s}" _did)
        _xml("${_n}" _name)
        _folder("${_s}" "${indent}  " _inner)
        string(APPEND _xml_out "${indent}<Directory Id=\"${_did}\" Name=\"${_name}\">\n${_inner}"
               "${indent}</Directory>\n")
    endforeach()
    set(_components ${_components} PARENT_SCOPE)
    set(${out} "${_xml_out}" PARENT_SCOPE)
endfunction()
# wixl takes sources relative to the folder it runs in: that of the output.
get_filename_component(_out_dir ${VEQ_MSI_OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${_out_dir})
_folder("" "          " _tree)
set(_refs "")
foreach(_c ${_components} MenuShortcut)
    string(APPEND _refs "      <ComponentRef Id=\"${_c}\"/>\n")
endforeach()
file(RELATIVE_PATH _rel ${_out_dir} ${VEQ_MSI_SOURCE}/app/icons/veq-cadence.ico)
_xml("${_rel}" _icon)

set(_wxs ${_out_dir}/veq-cadence.wxs)
file(WRITE ${_wxs} "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Product Id=\"${_product_code}\" UpgradeCode=\"${_upgrade_code}\" Name=\"VEQ Cadence\"
           Version=\"${VEQ_MSI_VERSION}\" Manufacturer=\"${_manufacturer}\" Language=\"1036\"
           Codepage=\"1252\">
    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perMachine\"
             Languages=\"1036\" SummaryCodepage=\"1252\" Description=\"${_summary}\"
             Manufacturer=\"${_manufacturer}\"/>
    <MajorUpgrade DowngradeErrorMessage=\"Une version plus récente de VEQ Cadence est déjà installée.\"/>
    <Media Id=\"1\" Cabinet=\"veq.cab\" EmbedCab=\"yes\"/>
    <Icon Id=\"veq_cadence.ico\" SourceFile=\"${_icon}\"/>
    <Property Id=\"ARPPRODUCTICON\" Value=\"veq_cadence.ico\"/>
    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>
    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">
      <Directory Id=\"ProgramFiles64Folder\">
        <Directory Id=\"INSTALLDIR\" Name=\"VEQ Cadence\">
${_tree}        </Directory>
      </Directory>
      <Directory Id=\"ProgramMenuFolder\">
        <Directory Id=\"MenuDir\" Name=\"VEQ Cadence\">
          <Component Id=\"MenuShortcut\" Guid=\"*\" Win64=\"yes\">
            <Shortcut Id=\"VeqCadenceShortcut\" Name=\"VEQ Cadence\" Description=\"${_summary}\"
                      Target=\"[INSTALLDIR]veq-cadence.exe\" WorkingDirectory=\"INSTALLDIR\"
                      Icon=\"veq_cadence.ico\"/>
            <RemoveFolder Id=\"MenuDir\" On=\"uninstall\"/>
            <RegistryValue Root=\"HKLM\" Key=\"Software\\VEQ Cadence\" Name=\"MenuShortcut\"
                           Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id=\"Complete\" Title=\"VEQ Cadence\" Level=\"1\">
${_refs}    </Feature>
  </Product>
</Wix>
")
file(REMOVE ${VEQ_MSI_OUTPUT})
execute_process(COMMAND ${_wixl} -a x64 -o ${VEQ_MSI_OUTPUT} ${_wxs} WORKING_DIRECTORY ${_out_dir}
                RESULT_VARIABLE _status OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
if(NOT _status EQUAL 0 OR NOT EXISTS ${VEQ_MSI_OUTPUT})
    message(FATAL_ERROR "wixl failed (${_status}): ${_output}")
endif()
# wixl writes the package's language as English in its summary: French, as its product.
execute_process(COMMAND ${_msibuild} ${VEQ_MSI_OUTPUT} -s "${_summary}" "${_manufacturer}" "x64;1036"
                RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "msibuild could not set the summary of ${VEQ_MSI_OUTPUT}")
endif()
execute_process(COMMAND ${VEQ_MSI_SOURCE}/cmake/windows/sign.sh ${VEQ_MSI_OUTPUT}
                RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "signing ${VEQ_MSI_OUTPUT} failed")
endif()
if(CPACK_TEMPORARY_DIRECTORY)
    set(CPACK_EXTERNAL_BUILT_PACKAGES ${VEQ_MSI_OUTPUT})
endif()
