# CPack runs this after the install step has filled its staging folder (the programs stripped) and
# before it packs it: the two programs are signed there, so the setup program, the zip and the MSI
# all hold signed programs (sign.sh does nothing without a certificate).
file(GLOB_RECURSE _programs ${CPACK_TEMPORARY_DIRECTORY}/veq-cadence.exe
     ${CPACK_TEMPORARY_DIRECTORY}/veqctl.exe)
if(NOT _programs)
    message(FATAL_ERROR "sign-stage.cmake: no program in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
execute_process(COMMAND ${CPACK_VEQ_SOURCE_DIR}/cmake/windows/sign.sh ${_programs}
                RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "signing ${_programs} failed")
endif()
