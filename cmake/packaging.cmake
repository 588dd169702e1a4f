# Installation: the program, its menu entry, its icon and its manual page.
include(GNUInstallDirs)
configure_file(${PROJECT_SOURCE_DIR}/data/vendral.1 ${CMAKE_CURRENT_BINARY_DIR}/vendral.1 @ONLY)
install(TARGETS vendral RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/vendral.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/vendral-32.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME vendral.png)
install(FILES ${PROJECT_SOURCE_DIR}/data/vendral.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vendral.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A Debian package; dpkg-shlibdeps finds the Qt runtime packages it needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vendral)
set(CPACK_PACKAGE_VENDOR "Vendral")
set(CPACK_PACKAGE_CONTACT "Vendral maintainers <maintainers@vendral.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show the start-up configuration of a Windows 95/98 PC")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "show the start-up configuration of a Windows 95/98 PC
 Vendral shows the boot paths and options of MSDOS.SYS and the lines of
 CONFIG.SYS, AUTOEXEC.BAT, WIN.INI and SYSTEM.INI of a Windows 95/98-era PC,
 read from a mounted disk, a copied folder or a Wine prefix. Lines can be
 edited in memory through a dialog that checks whether the file a line names
 exists. It never writes a file. Its user interface is in Norwegian.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
