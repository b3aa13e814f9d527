# zova_add_test(NAME SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#               [RESOURCE_LOCK <locks...>])
# One GoogleTest executable; every test case becomes its own CTest test,
# named as GoogleTest names it.
# The shared main runs Qt offscreen and gives each process a private
# XDG_CONFIG_HOME, so no test touches a real user's settings.
include(GoogleTest)

function(zova_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE zova_test_main ${ARG_LIBS})
  set(properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  # A CTest name is the GoogleTest name alone: every parameterised suite has a
  # name generator, and the printed parameter (for a struct its bytes, which
  # differ between runs) stays out of the name.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES NO_PRETTY_TYPES
                       PROPERTIES ${properties})
endfunction()
