# Debian packages with CPack, one per install component (cmake/PitwallInstall.cmake):
#   pitwall-plugins  the plug-ins alone, for a board (amd64, armhf, arm64)
#   pitwall          libgre, the preview tool, the theme and the examples, for a designer's desktop
#   pitwall-dev      the host interface, the widget kit, its CMake and pkg-config files, libgre.so
# A plug-in-only build (PITWALL_HOST_TOOLS=OFF) makes pitwall-plugins alone. scripts/package.sh builds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pitwall)
set(CPACK_PACKAGE_VENDOR "Pitwall")
set(CPACK_PACKAGE_CONTACT "Pitwall developers <pitwall@example.org>")
# No package-wide summary: CPack would put it above every package's description, and each package's
# first line below is its own synopsis.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON) # no debug information, and with it no path of the build machine
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # name_version_arch.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
if(PITWALL_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PITWALL_DEB_ARCH}) # cross builds; natively CPack asks dpkg
endif()
# The build tree holds the tests' programs and broken fixtures too: only these components are packed.
if(PITWALL_HOST_TOOLS)
  set(CPACK_COMPONENTS_ALL plugins desktop dev)
else()
  set(CPACK_COMPONENTS_ALL plugins)
endif()

# Dependencies are named here rather than found by dpkg-shlibdeps, which cannot read a cross build's
# libraries and would take libgre, inside the package itself, for a missing one.
set(pitwall_runtime "libc6 (>= 2.34), libgcc-s1, libstdc++6 (>= 12)")

# Each description: a synopsis, then lines of at most 80 characters, as dpkg shows them.
set(CPACK_DEBIAN_PLUGINS_PACKAGE_NAME pitwall-plugins)
string(CONCAT CPACK_COMPONENT_PLUGINS_DESCRIPTION
    "racing dashboard instrument widgets: the render-extension plug-ins\n"
    "Level bars, arc and dial gauges, alarm lamps, value boxes, labels and a\n"
    "splash image, each a plug-in that the engine loads from\n"
    "/usr/lib/<triplet>/pitwall/plugins. This is what a board needs.")
set(CPACK_DEBIAN_PLUGINS_PACKAGE_DEPENDS "${pitwall_runtime}")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME pitwall)
string(CONCAT CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "preview tool, runtime, stand-in engine and theme for racing dashboards\n"
    "Renders dashboard scenes that use the Pitwall plug-ins to PNG and video,\n"
    "traces every drawing operation, checks scenes, edits them in a web\n"
    "workbench and shows them on a screen driven by live car data (UDP, CSV,\n"
    "SocketCAN with a DBC database), all without the target engine.")
# Debian 12's packages of the libraries the tool links (readelf -d bin/pitwall): scripts/check-install.sh
# installs the packages into a fresh root from Debian's archive and runs the tool there, so a
# library missing here fails the test command.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS
    "pitwall-plugins (= ${PROJECT_VERSION}), ${pitwall_runtime}, libcairo2, libfreetype6, libpng16-16, libsdl2-2.0-0, libcpp-httplib0.11, fonts-dejavu-core")
# libgre.so.0 is a public shared library: its shlibs entry, and ldconfig run by trigger.
file(WRITE ${CMAKE_BINARY_DIR}/package-control/desktop/shlibs
     "libgre ${PROJECT_VERSION_MAJOR} pitwall (>= ${PROJECT_VERSION})\n")
file(WRITE ${CMAKE_BINARY_DIR}/package-control/desktop/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/package-control/desktop/shlibs ${CMAKE_BINARY_DIR}/package-control/desktop/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME pitwall-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_COMPONENT_DEV_DESCRIPTION
    "development files for writing racing dashboard widgets\n"
    "The host interface, the widget kit (headers and a static library), a CMake\n"
    "package (Pitwall) and pkg-config files for building one's own\n"
    "render-extension plug-ins, and the link library of the stand-in engine.")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "pitwall (= ${PROJECT_VERSION})")

include(CPack)
