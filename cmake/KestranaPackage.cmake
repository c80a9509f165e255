# The Debian package of the install rules (scripts/package.sh runs cpack):
# the program, the shipped runtime defaults, the guide, the desktop entry, the
# icon and the udev rule, under /usr.
set(KESTRANA_PACKAGE_MAINTAINER "Kestrana maintainers <kestrana@localhost>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrana)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Touch-panel controller tool: registers, live data, updates and module test")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads and writes the registers of capacitive touch-panel controller chips through a
USB-to-I2C bridge box, shows their raw, difference and noise data live, updates their
firmware and configuration and the bridge's own firmware, and runs the production
module test with its reports.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTRANA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links come from dpkg-shlibdeps; beside
# them the fonts of the Chinese texts, which no library names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
# Help and the folder buttons open through the desktop's xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/postinst
    ${PROJECT_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
