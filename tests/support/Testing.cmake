# orb_gtest(<target>): registers a GoogleTest binary with CTest, labelled
# "unit" (the sanitizer builds run those); it joins the target unit_tests.
# orb_gtest(<target> NETNS): runs it in a private network namespace.
set(ORB_NETNS ${CMAKE_CURRENT_LIST_DIR}/netns.sh)
function(orb_gtest target)
  cmake_parse_arguments(ARG "NETNS" "" "PROPERTIES" ${ARGN})
  if(ARG_NETNS)
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR ${ORB_NETNS})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    PROPERTIES SKIP_RETURN_CODE 77 LABELS unit ${ARG_PROPERTIES})
  set_property(GLOBAL APPEND PROPERTY ORB_UNIT_TESTS ${target})
endfunction()

# orb_netns_test(NAME <name> COMMAND <command...>): a script test in a namespace.
function(orb_netns_test)
  cmake_parse_arguments(ARG "" "NAME" "COMMAND" ${ARGN})
  add_test(NAME ${ARG_NAME} COMMAND ${ORB_NETNS} ${ARG_COMMAND})
  set_tests_properties(${ARG_NAME} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
