# Installation: the program, its menu entry, its AppStream metadata, its icon,
# its manual page, and the licence and changelog a Debian package carries.
include(GNUInstallDirs)

# VENDRAL_APP_ID (set at the top) names the menu entry and the AppStream
# component, so that software centres tie the two together.
set(VENDRAL_HOMEPAGE https://github.com/vendral/vendral)

# Manual pages and changelogs are installed compressed with `gzip -9n`: best
# compression, and no name or time stamp, so that the package is the same
# from one build to the next.
find_program(GZIP_PROGRAM gzip REQUIRED)
function(vendral_gzip source target)
    get_filename_component(name ${source} NAME)
    set(staged ${CMAKE_CURRENT_BINARY_DIR}/gz/${target}/${name})
    add_custom_command(OUTPUT ${staged}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/gz/${target}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${staged}
        COMMAND ${GZIP_PROGRAM} -9nf ${staged}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${staged}.gz)
endfunction()

configure_file(${PROJECT_SOURCE_DIR}/data/vendral.1 ${CMAKE_CURRENT_BINARY_DIR}/vendral.1 @ONLY)
vendral_gzip(${CMAKE_CURRENT_BINARY_DIR}/vendral.1 vendral_manpage)
# The same page in Norwegian, where man finds it for a Norwegian reader.
configure_file(${PROJECT_SOURCE_DIR}/data/vendral.nb.1 ${CMAKE_CURRENT_BINARY_DIR}/nb/vendral.1 @ONLY)
vendral_gzip(${CMAKE_CURRENT_BINARY_DIR}/nb/vendral.1 vendral_manpage_nb)
vendral_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog vendral_changelog)

install(TARGETS vendral RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/${VENDRAL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${VENDRAL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/vendral-32.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME vendral.png)
install(FILES ${PROJECT_SOURCE_DIR}/data/vendral.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/vendral_manpage/vendral.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/vendral_manpage_nb/vendral.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/nb/man1)
# The package is its own upstream (a native package), so its changelog is
# changelog.gz; the copyright file states the licence in Debian's
# machine-readable form.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/vendral_changelog/changelog.gz
              ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A Debian package; dpkg-shlibdeps finds the Qt runtime packages it needs,
# among them libqt6gui6, which carries the X11 (xcb) platform plugin.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vendral)
set(CPACK_PACKAGE_VENDOR "Vendral")
set(CPACK_PACKAGE_CONTACT "Vendral maintainers <maintainers@vendral.invalid>")
# The synopsis; CPack puts it on the Description line, above the extended
# text, whose lines it indents by one space so that they form one paragraph.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show the start-up configuration of a Windows 95/98 PC")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vendral reads MSDOS.SYS, CONFIG.SYS, AUTOEXEC.BAT, WIN.INI and SYSTEM.INI
from a mounted disk, a copied folder, a Wine prefix or a disk image standing
for drive C: and shows the boot paths, the boot options and every line in one
window. Lines can be edited in memory through a dialog that checks whether the
file a line names exists; no file is ever written. Headless commands print the
same data as JSON. The user interface is in Norwegian.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VENDRAL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The virtual-disk formats are read through qemu-img. Liberation Sans has the widths of MS Sans Serif, which the
# window's layout was drawn for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qemu-utils, fonts-liberation2")
# On a Wayland desktop Qt uses its Wayland plugin when it is installed, and
# XWayland otherwise; a found .EXE file is started through Wine, other files through
# the desktop's default action (xdg-open).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland, wine, xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The package's programs are stripped once staged (cmake/strip-package.cmake).
if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "No strip program found: the Debian package needs one")
endif()
set(CPACK_VENDRAL_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/strip-package.cmake)
include(CPack)
