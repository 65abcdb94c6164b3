include(GoogleTest)
# corvash_library(NAME [QT] SOURCES_DIR dir DEPS ...): a static library of every .cpp in a folder.
function(corvash_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(ex ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Threads::Threads ${ARG_DEPS})
endfunction()

# corvash_test(NAME [LOCK RESOURCE] [SCALE S] DEPS ...): one GoogleTest program
# of every *_test.cpp in a folder. LOCK keeps its tests from running beside
# other tests that hold the same resource. SCALE is its time scale (0.01 when
# not given).
function(corvash_test name)
  cmake_parse_arguments(ARG "" "LOCK;SCALE" "DEPS" ${ARGN})
  if(NOT ARG_SCALE)
    set(ARG_SCALE 0.01)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${ARG_DEPS})
  set(lock)
  if(ARG_LOCK)
    set(lock RESOURCE_LOCK ${ARG_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "CORVASH_TIME_SCALE=${ARG_SCALE}" ${lock})
endfunction()

# The time scale of the runs of the real programs (end-to-end tests): small
# enough to keep them quick, wider in a sanitizer build, whose instrumented
# programs (corvash, k5210-emu, its sync software, the device programs) run
# several times slower, so that no wait of the system runs out before a slow
# program has answered.
if(CORVASH_SANITIZE)
  set(CORVASH_E2E_TIME_SCALE 0.2)
else()
  set(CORVASH_E2E_TIME_SCALE 0.05)
endif()
