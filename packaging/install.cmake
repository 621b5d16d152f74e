# What `cmake --install` puts where, and the Debian package CPack makes of it
# (`cmake --build build/release --target package`, or scripts/package).
# Tests and benchmarks have no install rules: they stay in the build tree.

set(VOXMG_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VOXMG_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})

set(VOXMG_PROGRAMS voxmgctl voxmg-sim)
if(VOXMG_BUILD_GUI)
    list(PREPEND VOXMG_PROGRAMS voxmg)
endif()
install(TARGETS ${VOXMG_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Menu entry and icon at the freedesktop.org places.
install(FILES assets/voxmg.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
# What software centres show of the program (summary, description, screenshot).
install(FILES assets/org.voxmg.voxmg.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES assets/icons/voxmg-48.png DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/48x48/apps
        RENAME voxmg.png)
install(FILES assets/icons/voxmg-256.png DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/256x256/apps
        RENAME voxmg.png)
install(FILES assets/icons/voxmg.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# The scheduled backup and the mail outbox's sender as systemd user timers, shipped switched off.
install(FILES ${VOXMG_PACKAGING_DIR}/systemd/voxmg-backup.service ${VOXMG_PACKAGING_DIR}/systemd/voxmg-backup.timer
              ${VOXMG_PACKAGING_DIR}/systemd/voxmg-mail.service ${VOXMG_PACKAGING_DIR}/systemd/voxmg-mail.timer
        DESTINATION lib/systemd/user)

# Manual pages and the Debian changelog, version filled in and gzipped reproducibly.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VOXMG_GZIPPED)
function(voxmg_gzip source destination)
    set(plain ${PROJECT_BINARY_DIR}/packaging/${destination})
    configure_file(${source} ${plain} @ONLY)
    add_custom_command(OUTPUT ${plain}.gz COMMAND ${GZIP_PROGRAM} -9nkf ${plain} DEPENDS ${plain} VERBATIM)
    set(VOXMG_GZIPPED ${VOXMG_GZIPPED} ${plain}.gz PARENT_SCOPE)
endfunction()
foreach(page voxmg voxmgctl voxmg-sim)
    voxmg_gzip(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${page}.1)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
voxmg_gzip(${VOXMG_PACKAGING_DIR}/changelog changelog)
add_custom_target(voxmg_gzipped ALL DEPENDS ${VOXMG_GZIPPED})
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${VOXMG_PACKAGING_DIR}/copyright
        DESTINATION ${VOXMG_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VOXMG developers")
set(CPACK_PACKAGE_CONTACT "VOXMG developers <devel@voxmg.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice message manager for a business telephone system")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "VOXMG downloads, plays and keeps the voice messages that the main unit of a\n"
    "business telephone system records, and fills its response message slots.\n"
    "It talks to the main unit over FTP and keeps its data folders byte\n"
    "compatible with the Windows program it replaces.\n"
    "\n"
    "The package holds the desktop program (voxmg, Japanese user interface), its\n"
    "command line twin for scripts and timers (voxmgctl), a systemd user timer\n"
    "for the scheduled backup, and a main unit simulator to try it (voxmg-sim).")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
