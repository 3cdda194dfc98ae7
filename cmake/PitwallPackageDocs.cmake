# The changelog every Debian package carries beside its copyright file (cmake/PitwallInstall.cmake),
# and the tool's manual pages, generated at build time from its own --help.
set(PITWALL_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/package-docs/changelog.gz)
add_custom_command(
  OUTPUT ${PITWALL_CHANGELOG_GZ}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${PITWALL_CHANGELOG_GZ}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(pitwall_changelog ALL DEPENDS ${PITWALL_CHANGELOG_GZ})

foreach(component_package plugins:pitwall-plugins desktop:pitwall dev:pitwall-dev)
  string(REPLACE ":" ";" component_package ${component_package})
  list(GET component_package 0 component)
  list(GET component_package 1 package)
  if(component STREQUAL "plugins" OR TARGET gre)
    install(FILES ${PITWALL_CHANGELOG_GZ}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endif()
endforeach()

# help2man reads the tool's help; in a cross build the tool runs under its emulator. Without
# help2man (a packager's plain build need not have it) the pages are left out, and said so.
if(TARGET pitwall)
  find_program(PITWALL_HELP2MAN help2man)
  if(PITWALL_HELP2MAN)
    set(man_dir ${CMAKE_BINARY_DIR}/man)
    add_custom_command(
      OUTPUT ${man_dir}/stamp
      COMMAND ${CMAKE_CURRENT_LIST_DIR}/man-pages.sh ${man_dir} ${PROJECT_VERSION}
              ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:pitwall>
      COMMAND ${CMAKE_COMMAND} -E touch ${man_dir}/stamp
      DEPENDS pitwall ${CMAKE_CURRENT_LIST_DIR}/man-pages.sh
      COMMENT "Writing the manual pages from the tool's help"
      VERBATIM)
    add_custom_target(pitwall_man_pages ALL DEPENDS ${man_dir}/stamp)
    install(DIRECTORY ${man_dir}/man1 DESTINATION ${CMAKE_INSTALL_MANDIR} COMPONENT desktop)
  else()
    message(STATUS "help2man not found: the tool's manual pages are left out (scripts/deps.sh installs it)")
  endif()
endif()
