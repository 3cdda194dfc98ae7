# How a plug-in library is built, shared by the project's own plug-ins (pitwall_add_plugin) and
# widgets built against the installed package (pitwall_add_widget): a loadable module named
# libgre-plugin-<Name>.so, hidden symbols, no exceptions or RTTI, and a version script that lets
# gre_plugin_create alone out.
#     pitwall_widget_library(<target> <Name> <version script>)
function(pitwall_widget_library target name exports)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ".so"
    OUTPUT_NAME libgre-plugin-${name}
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${exports})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
  target_link_options(${target} PRIVATE -Wl,--version-script=${exports})
endfunction()

# Every import must resolve against libgre at link time: a misspelt engine call fails the build
# rather than the load. (A sanitized build leaves its runtime's symbols to the program.)
function(pitwall_widget_no_undefined target)
  target_link_options(${target} PRIVATE -Wl,-z,defs)
endfunction()
