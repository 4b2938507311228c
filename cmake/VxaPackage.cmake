# Install rules and the Debian package: cmake --build build --target package
# gives build/vxa_<version>_<arch>.deb.
#
#   /usr/lib/vxa/           the executable and its application directory (config/, languages/)
#   /usr/bin/vxa            link to it; the program finds its directory through /proc/self/exe
#   /usr/bin/vxa-devsim, /usr/bin/vxa-dbgsim   the simulators
#   /usr/share/...          menu entry, icons, AppStream metadata, manual page, polkit action

set(VXA_INSTALL_APPDIR lib/vxa)
set(VXA_INSTALL_EXE /usr/${VXA_INSTALL_APPDIR}/vxa)
set(VXA_APP_ID com.example.vxa)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
set(_gen ${CMAKE_BINARY_DIR}/packaging)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS vxa RUNTIME DESTINATION ${VXA_INSTALL_APPDIR})
install(TARGETS vxa-devsim vxa-dbgsim RUNTIME DESTINATION bin)
install(FILES config/version.ini DESTINATION ${VXA_INSTALL_APPDIR}/config)
install(DIRECTORY ${VXA_BIN_DIR}/languages/ DESTINATION ${VXA_INSTALL_APPDIR}/languages
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

file(MAKE_DIRECTORY ${_gen})
file(CREATE_LINK ../${VXA_INSTALL_APPDIR}/vxa ${_gen}/vxa SYMBOLIC)
install(FILES ${_gen}/vxa DESTINATION bin)

# Desktop integration.
install(FILES ${_pkg}/${VXA_APP_ID}.desktop DESTINATION share/applications)
configure_file(${_pkg}/${VXA_APP_ID}.metainfo.xml ${_gen}/${VXA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_gen}/${VXA_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES resources/icons/system/world.svg DESTINATION share/icons/hicolor/scalable/apps
    RENAME ${VXA_APP_ID}.svg)
install(FILES ${_pkg}/icons/vxa-48.png DESTINATION share/icons/hicolor/48x48/apps RENAME ${VXA_APP_ID}.png)
install(FILES resources/icons/system/world.png DESTINATION share/icons/hicolor/256x256/apps
    RENAME ${VXA_APP_ID}.png)
configure_file(${_pkg}/${VXA_APP_ID}.policy.in ${_gen}/${VXA_APP_ID}.policy @ONLY)
install(FILES ${_gen}/${VXA_APP_ID}.policy DESTINATION share/polkit-1/actions)

# Manual page (the simulators share it) and the package's documentation, compressed as Debian wants.
configure_file(${_pkg}/vxa.1 ${_gen}/vxa.1 @ONLY)
configure_file(${_pkg}/changelog.in ${_gen}/changelog @ONLY)
add_custom_command(OUTPUT ${_gen}/vxa.1.gz ${_gen}/changelog.gz
    COMMAND gzip -9nf -k ${_gen}/vxa.1 ${_gen}/changelog
    DEPENDS ${_gen}/vxa.1 ${_gen}/changelog
    COMMENT "Compressing the manual page and changelog")
add_custom_target(package_docs ALL DEPENDS ${_gen}/vxa.1.gz ${_gen}/changelog.gz)
install(FILES ${_gen}/vxa.1.gz DESTINATION share/man/man1)
foreach(sim vxa-devsim vxa-dbgsim)
    file(CREATE_LINK vxa.1.gz ${_gen}/${sim}.1.gz SYMBOLIC)
    install(FILES ${_gen}/${sim}.1.gz DESTINATION share/man/man1)
endforeach()
install(FILES ${_pkg}/copyright ${_gen}/changelog.gz DESTINATION share/doc/vxa)

configure_file(${_pkg}/postinst.in ${_gen}/postinst @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vxa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "toolbox for serial-to-Ethernet device servers")
set(CPACK_PACKAGE_DESCRIPTION "A desktop program for engineers who commission serial-to-Ethernet device
servers: a serial and network debugging assistant, an IP manager that finds
devices with raw Ethernet frames and sets their addresses, a message debugger
for device debug streams and virtual serial ports bridged to TCP or UDP.
Includes the simulators vxa-devsim and vxa-dbgsim.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VXA developers <support@example.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.example.com)
# Shared libraries from dpkg-shlibdeps; socat makes the virtual ports, the SVG icon engine is a
# plugin (not linked), setcap runs in postinst and pkexec does the administrator restart.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "socat, libqt5svg5, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_gen}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
