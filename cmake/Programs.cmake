# The two programs, and their test variants: the same sources, a different
# restart-wait tick (and for orbstage a staged build), fixed when built.

# The firmware resource ids, as the code and the resource scripts know them.
file(STRINGS ${PROJECT_SOURCE_DIR}/ui/resource_ids.h ORB_RESOURCE_DEFINES REGEX "^#define ORB_FIRMWARE_")
foreach(define ${ORB_RESOURCE_DEFINES})
  string(REGEX MATCH "^#define (ORB_FIRMWARE_[A-Z]+) ([0-9]+)" unused "${define}")
  set(${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()

# orbflash_program(<target> <tick-library> [IMAGE <image>])
function(orbflash_program target tick)
  cmake_parse_arguments(ARG "" "IMAGE" "" ${ARGN})
  add_executable(${target} WIN32 ${PROJECT_SOURCE_DIR}/apps/orbflash/orbflash_main.cpp)
  orb_apply_warnings(${target})
  target_link_libraries(${target} PRIVATE orbflash_app orb_entry orb_front_end ${tick} orb_entry_apps orb_profiles orb_cli orb_recovery orb_driver)
  if(ARG_IMAGE)
    set(image ${ARG_IMAGE})
  else()
    orb_image(image ${target} "${ORBFLASH_IMAGE}")
  endif()
  orb_embed_firmware(${target} ${ORB_FIRMWARE_FLASH} ${image})
  orb_program_resources(${target} orbflash)
endfunction()

# orbstage_program(<target> <tick-library> [TRANSITION <image>] [IMAGE <image>])
function(orbstage_program target tick)
  cmake_parse_arguments(ARG "" "TRANSITION;IMAGE" "" ${ARGN})
  add_executable(${target} WIN32 ${PROJECT_SOURCE_DIR}/apps/orbstage/orbstage_main.cpp)
  orb_apply_warnings(${target})
  target_link_libraries(${target} PRIVATE orbstage_app orb_entry orb_front_end ${tick} orb_entry_apps orb_profiles orb_cli orb_driver)
  if(ARG_IMAGE)
    set(image ${ARG_IMAGE})
  else()
    orb_image(image ${target} "${ORBSTAGE_IMAGE}")
  endif()
  if(ARG_TRANSITION)
    # A staged build: the transition image first, then the target image.
    target_compile_definitions(${target} PRIVATE ORBSTAGE_STAGED)
    orb_embed_firmware(${target} ${ORB_FIRMWARE_TARGET} ${image} ${ORB_FIRMWARE_TRANSITION} ${ARG_TRANSITION})
  else()
    orb_embed_firmware(${target} ${ORB_FIRMWARE_TARGET} ${image})
  endif()
  orb_program_resources(${target} orbstage)
endfunction()

# Icon, manifest and dialog templates on Windows.
function(orb_program_resources target program)
  if(WIN32)
    set(script ${PROJECT_SOURCE_DIR}/apps/${program}/${program}.rc)
    target_sources(${target} PRIVATE ${script})
    # windres writes no dependency file: name what the script includes.
    set_source_files_properties(${script} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
      "${PROJECT_SOURCE_DIR}/ui/win32/${program}_dialogs.rc;${PROJECT_SOURCE_DIR}/ui/resource_ids.h;${PROJECT_SOURCE_DIR}/ui/win32/orb.ico;${PROJECT_SOURCE_DIR}/ui/win32/orb.manifest")
    orb_windows_executable(${target})
  endif()
endfunction()
