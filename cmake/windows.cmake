# The Windows layout: one folder holding the programs, the modules, the help
# and the translation side by side, which scripts/windows fills with what Qt
# brings (its libraries, plugins and its own Japanese texts) and packs.
set_target_properties(qel-settings PROPERTIES WIN32_EXECUTABLE TRUE)
foreach(t qel-settings qelctl qelctl-gui qel-network)
    if(TARGET ${t})
        install(TARGETS ${t} RUNTIME DESTINATION . LIBRARY DESTINATION .)
    endif()
endforeach()
foreach(help qel-5600.hlp qel-5600_en.hlp)
    if(EXISTS ${CMAKE_SOURCE_DIR}/help/${help})
        install(FILES ${CMAKE_SOURCE_DIR}/help/${help} DESTINATION .)
    endif()
endforeach()
if(QEL_QM_FILES)
    install(FILES ${QEL_QM_FILES} DESTINATION .)
endif()
