# Shared CMake helpers.

# tavvel_library(NAME <target> [SUBDIRS dir...] LIBS <libs...> [PRIVATE_LIBS <libs...>])
# Every .cpp/.h in the current folder (and the named subfolders) belongs to the library,
# so adding a file needs no edit here. LIBS are what its headers expose to users; PRIVATE_LIBS
# only its sources use.
function(tavvel_library)
  cmake_parse_arguments(ARG "" "NAME" "SUBDIRS;LIBS;PRIVATE_LIBS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(d IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.h)
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${globs})
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  add_library(${ARG_NAME} STATIC ${srcs})
  target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LIBS})
  if(ARG_PRIVATE_LIBS)
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_PRIVATE_LIBS})
  endif()
endfunction()

# tavvel_test(NAME <exe> LABEL <area> SOURCES ... [LIBS ...] [GUI] [TIMEOUT s] [ENVIRONMENT_MODIFICATION ...])
# ENVIRONMENT_MODIFICATION: CTest's property of that name, for every test of the program.
# One GoogleTest executable; each test case becomes a CTest test with the area's label.
# The test main gives every process its own XDG folders, so nothing touches the user's files.
function(tavvel_test)
  cmake_parse_arguments(ARG "GUI" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENVIRONMENT_MODIFICATION" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  if(ARG_GUI)
    target_link_libraries(${ARG_NAME} PRIVATE tavvel_test_main_gui)
  else()
    target_link_libraries(${ARG_NAME} PRIVATE tavvel_test_main_core)
  endif()
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS})
  # Failures print Qt texts as text in every test.
  target_compile_options(${ARG_NAME} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/QtPrinters.h)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # Each test process gets its own session bus: tests can run in parallel and own bus names.
  set_target_properties(${ARG_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "dbus-run-session;--")
  set(extra)
  if(ARG_ENVIRONMENT_MODIFICATION)
    set(extra ENVIRONMENT_MODIFICATION "${ARG_ENVIRONMENT_MODIFICATION}")
  endif()
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT} ${extra})
  # The whole program in one process, its tests in a random order: a test that leans on what
  # another left behind (or on running alone) fails here.
  if(TAVVEL_TEST_WHOLE_PROGRAMS)
    add_test(NAME ${ARG_NAME}.whole_shuffled
      COMMAND dbus-run-session -- $<TARGET_FILE:${ARG_NAME}> --gtest_shuffle --gtest_random_seed=0)
    set_tests_properties(${ARG_NAME}.whole_shuffled PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 900 ${extra})
  endif()
endfunction()

# tavvel_helper_stand_in()
# Programs of this folder that run Tavvel's start-up find a "TavvelHelper" beside them that ends
# at once, so their start-up finds a player to start and to name in the autostart entry without
# running the real one (the process tests start the built programs for that).
function(tavvel_helper_stand_in)
  set(stand_in ${CMAKE_CURRENT_BINARY_DIR}/TavvelHelper)
  file(CONFIGURE OUTPUT ${stand_in} CONTENT "#!/bin/sh\nexit 0\n")
  file(CHMOD ${stand_in} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()
