# What `cmake --install` puts where, in three components, one per Debian package:
#   plugins  the fifteen plug-ins: what goes on a board
#   desktop  libgre, the preview tool, the default theme and the example scenes
#   dev      the widget SDK: the host interface and kit headers, libgre.so for linking, the static
#            kit libpitwall-kit.a, pkg-config's pitwall.pc and pitwall-kit.pc, CMake's package Pitwall
#            (find_package(Pitwall): Pitwall::host, Pitwall::kit, pitwall_add_widget) and the example
#            widgets under share/doc/pitwall-dev/examples/
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
  configure_file(${CMAKE_CURRENT_LIST_DIR}/pitwall.pc.in ${CMAKE_BINARY_DIR}/pitwall.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pitwall.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

  # The kit: its headers flat beside gre_host.h (they include each other by bare name) and the
  # static library, position-independent like everything of the build.
  get_property(pitwall_kit_headers TARGET pitwall_kit PROPERTY PITWALL_HEADERS)
  install(FILES ${pitwall_kit_headers} DESTINATION ${PITWALL_INSTALL_INCLUDEDIR} COMPONENT dev)
  install(TARGETS pitwall_kit EXPORT PitwallTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
  # CMake strips programs and shared libraries only: the archive loses its debug information (and
  # with it every path of the build machine) here, as Debian strips a static library.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:pitwall_kit>\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()" COMPONENT dev)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/pitwall-kit.pc.in ${CMAKE_BINARY_DIR}/pitwall-kit.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pitwall-kit.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

  # CMake's package, relocatable: every path in it is relative to its own folder. The kit is
  # exported; libgre and Pitwall::host are made by PitwallConfig.cmake itself, since the in-tree
  # libgre carries the engine's own headers and the in-tree host target serves libgre.
  include(CMakePackageConfigHelpers)
  set(pitwall_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Pitwall)
  install(EXPORT PitwallTargets NAMESPACE Pitwall:: DESTINATION ${pitwall_cmake_dir} COMPONENT dev)
  configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PitwallConfig.cmake.in
    ${CMAKE_BINARY_DIR}/PitwallConfig.cmake INSTALL_DESTINATION ${pitwall_cmake_dir}
    PATH_VARS PITWALL_INSTALL_PLUGINDIR PITWALL_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR)
  # 0.x: a minor version may change the kit's interface.
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/PitwallConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/PitwallConfig.cmake ${CMAKE_BINARY_DIR}/PitwallConfigVersion.cmake
                ${CMAKE_CURRENT_LIST_DIR}/PitwallWidget.cmake ${PITWALL_PLUGIN_EXPORTS}
          DESTINATION ${pitwall_cmake_dir} COMPONENT dev)

  # The example widgets, as sources to copy and build (not what a build in their folder left there).
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/widget ${PROJECT_SOURCE_DIR}/examples/widget-c
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/pitwall-dev/examples COMPONENT dev
          FILES_MATCHING PATTERN "*.c" PATTERN "*.cpp" PATTERN "*.json" PATTERN "*.md" PATTERN "CMakeLists.txt"
                         PATTERN "Makefile" PATTERN "build" EXCLUDE)
endif()

if(TARGET pitwall)
  install(TARGETS pitwall RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
  # The scenes with what they read: telemetry logs, the CAN database and the CAN log of the lap.
  file(GLOB pitwall_examples ${PROJECT_SOURCE_DIR}/examples/*.json ${PROJECT_SOURCE_DIR}/examples/*.csv
       ${PROJECT_SOURCE_DIR}/examples/*.dbc ${PROJECT_SOURCE_DIR}/examples/*.log)
  install(FILES ${pitwall_examples} DESTINATION ${PITWALL_INSTALL_EXAMPLEDIR} COMPONENT desktop)
endif()
if(TARGET pitwall_theme)
  install(DIRECTORY ${PITWALL_APP_DIR}/ DESTINATION ${PITWALL_INSTALL_APPDIR} COMPONENT desktop)
endif()
