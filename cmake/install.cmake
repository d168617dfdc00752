# Installation and the Debian package.
include(GNUInstallDirs)

# Directories 0755 whatever the umask of the one who builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(QEL_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")

foreach(t qel-settings qelctl qel-sim)
    if(TARGET ${t})
        install(TARGETS ${t} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
# The modules, loaded from ../LIBDIR/qel-settings/modules (a folder below the
# package's own, so that no ldconfig call is packed): qelctl's for `print`,
# and the network transport of both programs.
foreach(t qelctl-gui qel-network)
    if(TARGET ${t})
        install(TARGETS ${t} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/qel-settings/modules
                PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
endforeach()

# The help viewer looks beside the program first, then in ../share/qel-settings.
foreach(help qel-5600.hlp qel-5600_en.hlp)
    if(EXISTS ${CMAKE_SOURCE_DIR}/help/${help})
        install(FILES ${CMAKE_SOURCE_DIR}/help/${help} DESTINATION ${CMAKE_INSTALL_DATADIR}/qel-settings)
    endif()
endforeach()
# The English translation: looked for beside the program, then here.
if(QEL_QM_FILES)
    install(FILES ${QEL_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/qel-settings/translations)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qel-settings.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The settings files' type (*.pdt, *.PDT), which the desktop entry opens.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qel-settings.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qel-settings.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The udev rule a permission message points to (PortAccess.h, kUdevRuleExample).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/examples/70-qel-settings-serial.rules
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qelctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qelctl)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qel-settings)
# The unattended backup: a systemd service and its daily timer (disabled
# until the administrator enables the timer) and the script the service runs.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup.service
              ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup.timer
        DESTINATION lib/systemd/system)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/qel-settings)

# Manual pages and the changelog, gzipped as Debian wants them (-9, no name
# or time stamp in the header, so the package builds the same every time).
# The pages carry the date of the changelog's newest entry.
find_program(QEL_GZIP gzip REQUIRED)
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog QEL_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE ".*, +([0-9]+) ([A-Z][a-z]+) ([0-9]+) .*" "\\1 \\2 \\3" QEL_MAN_DATE "${QEL_CHANGELOG_TRAILER}")
set(QEL_DOC_OUTPUTS)
foreach(page qelctl qel-settings qel-sim)
    set(in ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1.in)
    set(page_file ${CMAKE_BINARY_DIR}/man/${page}.1)
    configure_file(${in} ${page_file} @ONLY)
    add_custom_command(OUTPUT ${page_file}.gz
        COMMAND ${QEL_GZIP} -9nc ${page_file} > ${page_file}.gz
        DEPENDS ${page_file} VERBATIM)
    list(APPEND QEL_DOC_OUTPUTS ${page_file}.gz)
    install(FILES ${page_file}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND ${QEL_GZIP} -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
list(APPEND QEL_DOC_OUTPUTS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(qel-docs ALL DEPENDS ${QEL_DOC_OUTPUTS})

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "qel-settings")
set(CPACK_PACKAGE_VERSION "${QEL_PACKAGE_VERSION}")
set(CPACK_PACKAGE_CONTACT "QEL settings developers <dev@qel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings program for QEL frequency/period signal converters")
set(CPACK_PACKAGE_DESCRIPTION
    "A technician connects one converter of the QEL family (QEL-5600, QEL-52X
types 521 and 527) to a serial port and uses qel-settings to read its
settings into a tabbed editor, edit them, write them back, keep them as
files, print a settings list, switch the operation type and watch the live
output. qelctl does the same from the command line for scripted work, and
qel-sim plays a converter on a pseudo-terminal for trying without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
# The library packages come from dpkg-shlibdeps; the Qt platform plugins and
# the Japanese fonts are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic, fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Qt's own dialogs (file, printer) in Japanese like the rest of the program;
# git for a device history kept in a git repository.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, git")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
include(CPack)
