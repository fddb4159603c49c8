# orb_embed_firmware(<target> <id> <image> [<id> <image> ...])
# Places images into the executable as resources of type ORB_FIRMWARE:
# real Win32 resources on Windows, .incbin blobs elsewhere.
function(orb_embed_firmware target)
  set(pairs ${ARGN})
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_firmware)
  set(images "")
  if(WIN32)
    set(text "#include <winres.h>\nLANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n")
    while(pairs)
      list(POP_FRONT pairs id image)
      list(APPEND images ${image})
      string(APPEND text "${id} ORB_FIRMWARE \"${image}\"\n")
    endwhile()
    file(WRITE ${generated}.rc.in "${text}")
    configure_file(${generated}.rc.in ${generated}.rc COPYONLY)
    target_sources(${target} PRIVATE ${generated}.rc)
    set_source_files_properties(${generated}.rc PROPERTIES OBJECT_DEPENDS "${images}")
  else()
    set(blobs "")
    set(table "")
    while(pairs)
      list(POP_FRONT pairs id image)
      list(APPEND images ${image})
      string(APPEND blobs
        "__asm__(\".section .rodata.orb_firmware_${id},\\\"a\\\"\\n\"\n"
        "        \".balign 16\\n\"\n"
        "        \".globl orbBlob${id}Begin\\n.hidden orbBlob${id}Begin\\n\"\n"
        "        \".globl orbBlob${id}End\\n.hidden orbBlob${id}End\\n\"\n"
        "        \"orbBlob${id}Begin:\\n\"\n"
        "        \".incbin \\\"${image}\\\"\\n\"\n"
        "        \"orbBlob${id}End:\\n\"\n"
        "        \".previous\\n\");\n"
        "extern \"C\" const uint8_t orbBlob${id}Begin[];\n"
        "extern \"C\" const uint8_t orbBlob${id}End[];\n")
      string(APPEND table "    {${id}, \"ORB_FIRMWARE\", orbBlob${id}Begin, orbBlob${id}End},\n")
    endwhile()
    file(WRITE ${generated}.cpp.in
      "// Generated: the firmware images of ${target}, linked in as they are.\n"
      "#include <cstdint>\n\n${blobs}\n"
      "struct EmbeddedBlob {\n    unsigned id;\n    const char* type;\n"
      "    const uint8_t* begin;\n    const uint8_t* end;\n};\n"
      "extern \"C\" const EmbeddedBlob orbEmbeddedBlobs[] = {\n${table}    {0, nullptr, nullptr, nullptr},\n};\n")
    configure_file(${generated}.cpp.in ${generated}.cpp COPYONLY)
    target_sources(${target} PRIVATE ${generated}.cpp)
    set_source_files_properties(${generated}.cpp PROPERTIES OBJECT_DEPENDS "${images}")
  endif()
  add_custom_target(${target}_images DEPENDS ${images})
  add_dependencies(${target} ${target}_images)
endfunction()
