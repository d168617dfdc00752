# Installation and the Debian package.
include(GNUInstallDirs)

foreach(t qel-settings qelctl qel-sim)
    if(TARGET ${t})
        install(TARGETS ${t} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# The help viewer looks beside the program first, then in ../share/qel-settings.
if(EXISTS ${CMAKE_SOURCE_DIR}/help/qel-5600.hlp)
    install(FILES ${CMAKE_SOURCE_DIR}/help/qel-5600.hlp DESTINATION ${CMAKE_INSTALL_DATADIR}/qel-settings)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qel-settings.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qel-settings.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "qel-settings")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_CONTACT "QEL settings developers <dev@qel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings program for QEL frequency/period signal converters")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "amd64")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), libqt6serialport6 (>= 6.4), qt6-qpa-plugins, fonts-ipafont-gothic, fonts-ipafont-mincho")
# Qt's own dialogs (file, printer) in Japanese like the rest of the program.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
include(CPack)
