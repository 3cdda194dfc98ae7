# pitwall_add_plugin(<deliverable> <sources...>)
# Builds one render-extension plug-in: a loadable module named exactly like the deliverable
# (libgre-plugin-Name.so), linking the widget kit statically, exporting gre_plugin_create only.
# The build rules themselves are those of an installed widget's (PitwallWidget.cmake).
set(PITWALL_PLUGIN_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.map)
include(${CMAKE_CURRENT_LIST_DIR}/PitwallWidget.cmake)

function(pitwall_add_plugin deliverable)
  if(NOT deliverable MATCHES "^libgre-plugin-([A-Za-z0-9]+)$")
    message(FATAL_ERROR "pitwall_add_plugin: ${deliverable} is not named libgre-plugin-Name")
  endif()
  add_library(${deliverable} MODULE ${ARGN})
  pitwall_widget_library(${deliverable} ${CMAKE_MATCH_1} ${PITWALL_PLUGIN_EXPORTS})
  set_target_properties(${deliverable} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PITWALL_PLUGIN_DIR})
  target_link_libraries(${deliverable} PRIVATE pitwall_kit)
  if(TARGET gre)
    # The four imports resolve against the engine library the plug-in is loaded into.
    target_link_libraries(${deliverable} PRIVATE gre)
    if(NOT PITWALL_SANITIZE)
      pitwall_widget_no_undefined(${deliverable})
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY PITWALL_PLUGINS ${deliverable})
endfunction()
