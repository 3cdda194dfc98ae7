# Debian packages with CPack, one per install component (cmake/PitwallInstall.cmake):
#   pitwall-plugins  the plug-ins alone, for a board (amd64, armhf, arm64)
#   pitwall          libgre, the preview tool, the theme and the examples, for a designer's desktop
#   pitwall-dev      the header, libgre.so and pitwall.pc, for writing one's own widgets
# A board build (PITWALL_HOST_TOOLS=OFF) makes pitwall-plugins only. scripts/package.sh builds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pitwall)
set(CPACK_PACKAGE_VENDOR "Pitwall")
set(CPACK_PACKAGE_CONTACT "Pitwall developers <pitwall@localhost>")
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

set(CPACK_DEBIAN_PLUGINS_PACKAGE_NAME pitwall-plugins)
string(CONCAT CPACK_COMPONENT_PLUGINS_DESCRIPTION
    "racing dashboard instrument widgets: the render-extension plug-ins\n"
    "Level bars, arc and dial gauges, alarm lamps, value boxes, labels and a splash image, each a "
    "plug-in the engine loads from /usr/lib/.../pitwall/plugins.")
set(CPACK_DEBIAN_PLUGINS_PACKAGE_DEPENDS "${pitwall_runtime}")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME pitwall)
string(CONCAT CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "preview tool, stand-in engine and theme for racing dashboard widgets\n"
    "Renders dashboard scenes that use the Pitwall plug-ins to PNG, traces every drawing operation "
    "and lists the plug-ins' attributes, without the target engine.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS
    "pitwall-plugins (= ${PROJECT_VERSION}), ${pitwall_runtime}, libcairo2, libfreetype6, libpng16-16, libsdl2-2.0-0, fonts-dejavu-core")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME pitwall-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_COMPONENT_DEV_DESCRIPTION
    "development files for writing racing dashboard widgets\n"
    "The host interface header, the link library of the stand-in engine and a pkg-config file "
    "(pitwall) for building one's own render-extension plug-ins.")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "pitwall (= ${PROJECT_VERSION})")

include(CPack)
