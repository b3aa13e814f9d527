# The Debian package: `cpack -G DEB` in a build folder (scripts/package does
# it in a build folder of its own). The package holds what cmake --install
# installs; its library dependencies come from dpkg-shlibdeps, plus the font
# package the plan page falls back to where Verdana is missing.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zova-monitor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The Debian revision: the package is made apart from the program's own
# version, so its changelog is changelog.Debian.gz (dist/changelog's top
# entry is PROJECT_VERSION-ZOVA_DEBIAN_REVISION).
set(ZOVA_DEBIAN_REVISION 1)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZOVA_DEBIAN_REVISION})
set(CPACK_PACKAGE_VENDOR "Kelvaro")
set(CPACK_PACKAGE_CONTACT "Zova-Monitor maintainers <zova-monitor@kelvaro.de>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Substitution-plan monitor for school display screens")
# The control file's long description: plain lines, no leading spaces, an
# empty line between paragraphs. CPack then starts each line with one space
# and turns an empty line into " ."; a line that already starts with a
# space would stay indented by two and show as verbatim text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Shows the substitution plan (Vertretungsplan) that the plan-producing
program exports as a Jet (Access) database on a display screen in a school
building: today's and the next days' plan, paged through by itself in
automatic mode, polled for new versions, with optional notifications for
teachers. Runs unattended, often full screen.

Besides the monitor the package holds zova-check, which tells why a screen
shows no plan, the database tool zova-db, the demo plan writer zova-demo
and the notice viewer zova-rtf.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# CPack's own Installed-Size counts directories as 4 KiB and links as their
# targets; this script sets it by dpkg's rule once the package is made.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ZovaDebInstalledSize.cmake)
# Only what cmake --install installs; never the source tree.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
