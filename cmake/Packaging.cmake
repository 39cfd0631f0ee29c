# Installation layout and the Debian package.
#   bin/pp-installer, bin/pp-install, bin/pp-controller-sim
#   lib/pendant-installer/unzip.so   (copied into a device by pp-install --init-device)
#   share/applications/pp-installer.desktop, share/icons/hicolor/scalable/apps/pp-installer.svg

install(TARGETS pp-install RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET pp-installer)
  install(TARGETS pp-installer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/pp-installer.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/pp-installer.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
if(TARGET unzip)
  install(FILES $<TARGET_FILE:unzip> DESTINATION ${CMAKE_INSTALL_LIBDIR}/pendant-installer RENAME unzip.so)
endif()
# The simulator finds its file-system module beside its own real path, so the
# command in bin/ is a link into its folder.
set(PP_SIM_DIR ${CMAKE_INSTALL_DATADIR}/pendant-installer/controller-sim)
install(PROGRAMS tools/controller-sim/controller-sim DESTINATION ${PP_SIM_DIR})
install(FILES tools/controller-sim/controllerfs.py DESTINATION ${PP_SIM_DIR})
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK ../${PP_SIM_DIR}/controller-sim \"\${bin}/pp-controller-sim\" SYMBOLIC)
")
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pendant-installer)
set(CPACK_PACKAGE_VENDOR "Pendant installer team")
set(CPACK_PACKAGE_CONTACT "pendant-installer@localhost")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Application installer of a robot controller's teach pendant")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Found at run time rather than linked: the simulator's server, the font
# that renders Japanese application names and the engine that draws the
# window icon.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-pyftpdlib, fonts-ipafont-gothic, qt6-qpa-plugins, libqt6svg6")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
