# Where things lie, installed and in the build tree.
#
# Installed:  <bindir>/pitwall, <libdir>/libgre.so.*, <libdir>/pitwall/plugins/libgre-plugin-*.so,
#             <datadir>/pitwall/app/images/... (the default theme), <datadir>/pitwall/examples/.
# The build tree has the same shape under its own root (build/<preset>/lib/..., .../share/...), so
# the engine finds its plug-ins and theme the same way in both: relative to the folder libgre itself
# was loaded from. Only those relative paths are compiled in, never a folder of the build tree.
include(GNUInstallDirs)

set(PITWALL_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/pitwall/plugins)
set(PITWALL_INSTALL_APPDIR ${CMAKE_INSTALL_DATADIR}/pitwall/app)
set(PITWALL_INSTALL_EXAMPLEDIR ${CMAKE_INSTALL_DATADIR}/pitwall/examples)
set(PITWALL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/pitwall)

# Each folder relative to the prefix; a folder outside the prefix could not be mirrored in the build.
foreach(kind BIN LIB DATA INCLUDE)
  file(RELATIVE_PATH rel ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_${kind}DIR})
  if(rel MATCHES "^\\.\\.(/|$)" OR IS_ABSOLUTE "${rel}")
    message(FATAL_ERROR "CMAKE_INSTALL_${kind}DIR (${CMAKE_INSTALL_FULL_${kind}DIR}) must lie inside "
                        "CMAKE_INSTALL_PREFIX (${CMAKE_INSTALL_PREFIX})")
  endif()
  set(PITWALL_REL_${kind}DIR ${rel})
endforeach()

# What libgre adds to its own folder to reach the plug-ins and the theme.
file(RELATIVE_PATH PITWALL_PLUGINDIR_FROM_LIB ${CMAKE_INSTALL_FULL_LIBDIR}
     ${CMAKE_INSTALL_PREFIX}/${PITWALL_REL_LIBDIR}/pitwall/plugins)
file(RELATIVE_PATH PITWALL_APPDIR_FROM_LIB ${CMAKE_INSTALL_FULL_LIBDIR}
     ${CMAKE_INSTALL_PREFIX}/${PITWALL_REL_DATADIR}/pitwall/app)
# And what the tool adds to its own folder to reach libgre (its install RUNPATH).
file(RELATIVE_PATH PITWALL_LIBDIR_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})

# And what pkg-config's file adds to its own folder to reach the prefix.
file(RELATIVE_PATH PITWALL_PREFIX_FROM_PKGCONFIG ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" PITWALL_PREFIX_FROM_PKGCONFIG "${PITWALL_PREFIX_FROM_PKGCONFIG}")

# The build tree's mirror of the installed layout.
set(PITWALL_BUILD_BINDIR ${CMAKE_BINARY_DIR}/${PITWALL_REL_BINDIR})
set(PITWALL_BUILD_LIBDIR ${CMAKE_BINARY_DIR}/${PITWALL_REL_LIBDIR})
# Every plug-in lands in one folder of the build so that the engine and the tools find them.
set(PITWALL_PLUGIN_DIR ${PITWALL_BUILD_LIBDIR}/pitwall/plugins)
# The application tree of the examples: theme images are generated here at build time.
set(PITWALL_APP_DIR ${CMAKE_BINARY_DIR}/${PITWALL_REL_DATADIR}/pitwall/app)
