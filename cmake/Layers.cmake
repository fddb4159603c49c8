# Folders are layers: platform, base, net, core, ui, apps. Each layer's
# libraries export only their own folder as an include root (a link to it
# under the build tree), so a file that includes from a layer its library
# does not link fails to compile. Tests and tools see the whole tree.
function(orb_layer target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
