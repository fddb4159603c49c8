# Release packages, made by cpack in a build tree (scripts/package makes
# both): on Linux a Debian package with the two programs, the simulated
# device and the image tool, their manual pages and the bash completion;
# on Windows a zip with the two programs and a short readme. Only the
# release programs are installed, never the test variants.

set(CPACK_PACKAGE_NAME orb-upgrade)
set(CPACK_PACKAGE_VENDOR orb-upgrade)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware upgrade and recovery utilities for ORB VoIP devices")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # A Windows user unpacks the zip and finds the programs at its top.
  set(ORB_PROGRAM_DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in ${PROJECT_BINARY_DIR}/README.txt @ONLY
    NEWLINE_STYLE WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows)
else()
  set(ORB_PROGRAM_DESTINATION bin)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "orb-upgrade maintainers <maintainers@example.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Written by hand in packaging/; tests/tools checks that they keep up with --help.
  install(FILES
    ${PROJECT_SOURCE_DIR}/packaging/man/orbflash.1
    ${PROJECT_SOURCE_DIR}/packaging/man/orbstage.1
    ${PROJECT_SOURCE_DIR}/packaging/man/orbsim.1
    ${PROJECT_SOURCE_DIR}/packaging/man/orbimage.1
    DESTINATION share/man/man1)
  # bash-completion loads completions/<command>: orbstage is a link to the
  # one file that completes both programs.
  install(FILES
    ${PROJECT_SOURCE_DIR}/packaging/bash-completion/orbflash
    ${PROJECT_SOURCE_DIR}/packaging/bash-completion/orbstage
    DESTINATION share/bash-completion/completions)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "orbflash and orbstage with a terminal front end, orbsim (a simulated ORB\n device for trying them out) and orbimage (makes and reads firmware images).")
endif()

include(CPack)
