# vorlant_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# Natively every test case is its own ctest entry; in the Windows build each
# test program is one entry (every Wine start costs about a second).
# TIMEOUT (seconds) applies to each entry: by default 60 for a test case,
# 240 for a whole program under Wine. Kept short: a hanging test holds one
# of the two test slots for that long.
if(CMAKE_CROSSCOMPILING)
  # GoogleTest from source, compiled by the cross compiler (its own warning
  # flags, not the project's).
  if(NOT TARGET gtest)
    set(VORLANT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
    if(NOT EXISTS ${VORLANT_GTEST_SOURCE}/CMakeLists.txt)
      message(FATAL_ERROR "GoogleTest sources not found at ${VORLANT_GTEST_SOURCE} (Debian package googletest; scripts/setup.sh installs it)")
    endif()
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${VORLANT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  # Older GoogleTest releases do not define the namespaced names.
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(vorlant_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    if(CMAKE_CROSSCOMPILING)
      set(T_TIMEOUT 240)
    else()
      set(T_TIMEOUT 60)
    endif()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  vorlant_warnings(${T_NAME})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
      FIXTURES_REQUIRED wineprefix)
  else()
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  endif()
endfunction()

# vorlant_wine_sim_test(NAME name PROFILE profile PORT n TARGET target
#                       [ARGS ...] [TIMEOUT s] [LABELS ...])
# Cross build only: an end-to-end test that runs the Windows program `target`
# under Wine against the native controller simulator (started with
# --profile `profile`), which the program finds as COM<n>. Needs
# VORLANT_NATIVE_TOOLS_DIR; without it the test is left out. Tests that use
# the same COM number never run at the same time.
function(vorlant_wine_sim_test)
  cmake_parse_arguments(T "" "NAME;PROFILE;PORT;TARGET;TIMEOUT" "ARGS;LABELS" ${ARGN})
  if(NOT T_NAME OR NOT T_PROFILE OR NOT T_PORT OR NOT T_TARGET)
    message(FATAL_ERROR "vorlant_wine_sim_test needs NAME, PROFILE, PORT and TARGET")
  endif()
  if(NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(NOT VORLANT_NATIVE_SIM)
    message(STATUS "${T_NAME} left out: set VORLANT_NATIVE_TOOLS_DIR to a native build's tools folder")
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${T_NAME}
    COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/wine-with-sim.sh
      ${T_PROFILE} COM${T_PORT} $<TARGET_FILE:${T_TARGET}> ${T_ARGS})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
    FIXTURES_REQUIRED wineprefix RESOURCE_LOCK wine_com${T_PORT}
    ENVIRONMENT "VORLANT_WINE_RUN=${VORLANT_WINE_RUN};VORLANT_SIM=${VORLANT_NATIVE_SIM}")
endfunction()
