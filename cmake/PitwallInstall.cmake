# What `cmake --install` puts where, in three components, one per Debian package:
#   plugins  the fifteen plug-ins: what goes on a board
#   desktop  libgre, the preview tool, the default theme and the example scenes
#   dev      the host interface header, libgre.so for linking and pkg-config's pitwall.pc
get_property(pitwall_plugins GLOBAL PROPERTY PITWALL_PLUGINS)
install(TARGETS ${pitwall_plugins} LIBRARY DESTINATION ${PITWALL_INSTALL_PLUGINDIR} COMPONENT plugins)

# Each Debian package carries the copyright file in its own documentation folder.
foreach(component_package plugins:pitwall-plugins desktop:pitwall dev:pitwall-dev)
  string(REPLACE ":" ";" component_package ${component_package})
  list(GET component_package 0 component)
  list(GET component_package 1 package)
  if(component STREQUAL "plugins" OR TARGET gre)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
            COMPONENT ${component})
  endif()
endforeach()

if(TARGET gre)
  install(TARGETS gre
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT desktop NAMELINK_COMPONENT dev)
  install(FILES ${PROJECT_SOURCE_DIR}/kit/host/gre_host.h DESTINATION ${PITWALL_INSTALL_INCLUDEDIR}
          COMPONENT dev)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/pitwall.pc.in ${CMAKE_BINARY_DIR}/pitwall.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pitwall.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()

if(TARGET pitwall)
  install(TARGETS pitwall RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
  file(GLOB pitwall_examples ${PROJECT_SOURCE_DIR}/examples/*.json ${PROJECT_SOURCE_DIR}/examples/*.csv)
  install(FILES ${pitwall_examples} DESTINATION ${PITWALL_INSTALL_EXAMPLEDIR} COMPONENT desktop)
endif()
if(TARGET pitwall_theme)
  install(DIRECTORY ${PITWALL_APP_DIR}/ DESTINATION ${PITWALL_INSTALL_APPDIR} COMPONENT desktop)
endif()
