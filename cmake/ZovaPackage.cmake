# The Debian package: `cpack -G DEB` in a build folder (scripts/package does
# it in a build folder of its own). The package holds what cmake --install
# installs; its library dependencies come from dpkg-shlibdeps, plus the font
# package the plan page falls back to where Verdana is missing.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zova-monitor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zova-Monitor")
set(CPACK_PACKAGE_CONTACT "Zova-Monitor maintainers <zova-monitor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Substitution-plan monitor for school display screens")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Shows the substitution plan (Vertretungsplan) that the plan-producing\n program exports as a Jet (Access) database on a display screen in a\n school building: today's and the next days' plan, paged through by\n itself in automatic mode, polled for new versions, with optional\n notifications for teachers. Runs unattended, often full screen.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Only what cmake --install installs; never the source tree.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
