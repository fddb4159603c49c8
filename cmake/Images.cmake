# Firmware images embedded in the programs. The default is generated with
# our own orbimage; a vendor image given through the cache options is
# checked with it and embedded as is.

set(ORB_DEFAULT_IMAGE_ARGS --code SvIrEo5 --version 7.5.3 --size 4200090)

if(CMAKE_CROSSCOMPILING)
  # orbimage must run on the build machine: build it there on its own.
  include(ExternalProject)
  set(ORB_ORBIMAGE_COMMAND ${CMAKE_BINARY_DIR}/host-orbimage/orbimage)
  ExternalProject_Add(host_orbimage
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/orbimage
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-orbimage
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${ORB_ORBIMAGE_COMMAND})
  set(ORB_ORBIMAGE_TARGET host_orbimage)
else()
  set(ORB_ORBIMAGE_COMMAND $<TARGET_FILE:orbimage>)
  set(ORB_ORBIMAGE_TARGET orbimage)
endif()

# orb_image(<out-var> <name> <vendor-image-or-empty> [orbimage make arguments...])
# Defines the rule for ${CMAKE_CURRENT_BINARY_DIR}/images/<name>.img in the
# calling directory and returns its path.
function(orb_image out name vendor)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/images/${name}.img)
  if(vendor)
    get_filename_component(vendor ${vendor} ABSOLUTE)
    add_custom_command(OUTPUT ${output}
      COMMAND ${ORB_ORBIMAGE_COMMAND} check ${vendor}
      COMMAND ${CMAKE_COMMAND} -E copy ${vendor} ${output}
      DEPENDS ${vendor} ${ORB_ORBIMAGE_TARGET}
      COMMENT "Checking vendor image ${vendor}")
  else()
    set(make_args ${ARGN})
    if(NOT make_args)
      set(make_args ${ORB_DEFAULT_IMAGE_ARGS})
    endif()
    add_custom_command(OUTPUT ${output}
      COMMAND ${ORB_ORBIMAGE_COMMAND} make ${make_args} --out ${output}
      DEPENDS ${ORB_ORBIMAGE_TARGET}
      COMMENT "Making image ${name}")
  endif()
  set(${out} ${output} PARENT_SCOPE)
endfunction()
