# pitwall_add_plugin(<deliverable> <sources...>)
# Builds one render-extension plug-in: a loadable module named exactly like the deliverable
# (libgre-plugin-Name.so), linking the widget kit statically, exporting gre_plugin_create only.
set(PITWALL_PLUGIN_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.map)

function(pitwall_add_plugin deliverable)
  add_library(${deliverable} MODULE ${ARGN})
  set_target_properties(${deliverable} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${deliverable}
    LIBRARY_OUTPUT_DIRECTORY ${PITWALL_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${PITWALL_PLUGIN_EXPORTS})
  target_link_libraries(${deliverable} PRIVATE pitwall_kit)
  target_compile_options(${deliverable} PRIVATE -fno-exceptions -fno-rtti)
  target_link_options(${deliverable} PRIVATE -Wl,--version-script=${PITWALL_PLUGIN_EXPORTS})
  if(TARGET gre)
    # The four imports resolve against the engine library the plug-in is loaded into.
    target_link_libraries(${deliverable} PRIVATE gre)
    if(NOT PITWALL_SANITIZE)
      target_link_options(${deliverable} PRIVATE -Wl,-z,defs)
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY PITWALL_PLUGINS ${deliverable})
endfunction()
