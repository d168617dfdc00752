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
# The users' README and the udev rule a permission message points to
# (PortAccess.h, kUdevRuleExample), in the documents of qelctl, the package
# every installation has. The developers' README stays in the source.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/doc/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qelctl)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/examples/70-qel-settings-serial.rules
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qelctl/examples)
# Completion of qelctl for bash, zsh and fish.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/completion/qelctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qelctl)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/completion/_qelctl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/completion/qelctl.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
# The unattended backup: a systemd service and its daily timer (disabled
# until the administrator enables the timer), the script the service runs,
# the system user it runs as (sysusers.d) and a commented line for pruning
# old backups (tmpfiles.d). Debian 12's units go to /lib/systemd/system
# (debian/rules says so); below the prefix otherwise.
set(QEL_SYSTEMD_UNITDIR "lib/systemd/system" CACHE STRING "Where the systemd units are installed")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup.service
              ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup.timer
        DESTINATION ${QEL_SYSTEMD_UNITDIR})
# The unit names the script's path: libexec whatever CMAKE_INSTALL_LIBEXECDIR says.
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup
        DESTINATION libexec/qel-settings)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings.sysusers
        DESTINATION lib/sysusers.d RENAME qel-settings.conf)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/qel-settings-backup.tmpfiles
        DESTINATION lib/tmpfiles.d RENAME qel-settings-backup.conf)

# Manual pages, gzipped as Debian wants them (-9, no name or time stamp in
# the header, so the package builds the same every time). The pages carry
# the date of the newest entry of debian/changelog.
find_program(QEL_GZIP gzip REQUIRED)
file(STRINGS ${CMAKE_SOURCE_DIR}/debian/changelog QEL_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
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
add_custom_target(qel-docs ALL DEPENDS ${QEL_DOC_OUTPUTS})
# The Debian packages are built from debian/ (dpkg-buildpackage; scripts/package).
