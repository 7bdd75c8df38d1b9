# Shared CMake helpers.

# tavvel_library(NAME <target> [SUBDIRS dir...] LIBS <libs...>)
# Every .cpp/.h in the current folder (and the named subfolders) belongs to the library,
# so adding a file needs no edit here.
function(tavvel_library)
  cmake_parse_arguments(ARG "" "NAME" "SUBDIRS;LIBS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(d IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.h)
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${globs})
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  add_library(${ARG_NAME} STATIC ${srcs})
  target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LIBS})
endfunction()

# tavvel_test(NAME <exe> LABEL <area> SOURCES ... [LIBS ...] [GUI])
# One GoogleTest executable; each test case becomes a CTest test with the area's label.
# The test main gives every process its own XDG folders, so nothing touches the user's files.
function(tavvel_test)
  cmake_parse_arguments(ARG "GUI" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  if(ARG_GUI)
    target_link_libraries(${ARG_NAME} PRIVATE tavvel_test_main_gui)
  else()
    target_link_libraries(${ARG_NAME} PRIVATE tavvel_test_main_core)
  endif()
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # Each test process gets its own session bus: tests can run in parallel and own bus names.
  set_target_properties(${ARG_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "dbus-run-session;--")
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT})
endfunction()
