# Header-only libraries from Debian (libcli11-dev, nlohmann-json3-dev):
# their folders alone, linked under the build tree, so that the Windows
# cross build sees them and nothing else of the build machine's headers.
set(ORB_THIRD_PARTY ${PROJECT_BINARY_DIR}/third-party)
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/setup")
  endif()
  if(NOT EXISTS ${ORB_THIRD_PARTY}/${folder})
    file(MAKE_DIRECTORY ${ORB_THIRD_PARTY})
    file(CREATE_LINK /usr/include/${folder} ${ORB_THIRD_PARTY}/${folder} SYMBOLIC)
  endif()
endforeach()
add_library(orb_third_party INTERFACE)
target_include_directories(orb_third_party SYSTEM INTERFACE ${ORB_THIRD_PARTY})
