# Run by CPack once the package's files are staged: strips the programs as
# Debian's dh_strip does (all symbols, and the compiler's .comment and .note
# sections), so the package carries no debug symbols, while the build tree
# and `make install` keep them.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
    message(FATAL_ERROR "strip-package: no program staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
    execute_process(COMMAND ${CPACK_VENDRAL_STRIP} --remove-section=.comment --remove-section=.note ${program}
                    RESULT_VARIABLE result TIMEOUT 120)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "strip-package: stripping ${program} failed: ${result}")
    endif()
endforeach()
