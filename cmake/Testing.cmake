# Test helpers: every test runs with an isolated HOME, a private runtime folder and the
# offscreen Qt platform, so no test reads or writes the developer's own settings.
find_package(GTest REQUIRED)

set(VESK_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
file(MAKE_DIRECTORY ${VESK_TEST_HOME} ${VESK_TEST_HOME}/runtime)
file(CHMOD ${VESK_TEST_HOME}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(VESK_TEST_ENVIRONMENT
  "HOME=${VESK_TEST_HOME}"
  "XDG_CONFIG_HOME=${VESK_TEST_HOME}/.config"
  "XDG_RUNTIME_DIR=${VESK_TEST_HOME}/runtime"
  "QT_QPA_PLATFORM=offscreen"
  "VESK_REGISTRY=${VESK_TEST_HOME}/registry.ini"
  "TSAN_OPTIONS=ignore_noninstrumented_modules=1 halt_on_error=1 second_deadlock_stack=1"
  "ASAN_OPTIONS=detect_leaks=1"
  "UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1")

# vesk_add_gtest(NAME target SOURCES ... LIBRARIES ...)
# Builds a GoogleTest executable and registers each of its tests with CTest.
function(vesk_add_gtest)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main vesk_warnings)
  # Tests run (and are discovered) through `cmake -E env`, which gives every test the
  # isolated environment above whoever runs them; the simulated camera starts from its
  # built-in world.
  set_target_properties(${ARG_NAME} PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_COMMAND};-E;env;--unset=VESK_CAMERA_SIM;--unset=VESK_CAMERA_BACKEND;${VESK_TEST_ENVIRONMENT}")
  include(GoogleTest)
  gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60)
endfunction()

# vesk_add_qtest(NAME target SOURCES ... LIBRARIES ...)
# Builds a Qt Test executable (widgets, offscreen) and registers it as one CTest test that
# runs in the isolated environment above. Screenshots land in ${CMAKE_BINARY_DIR}/screenshots
# (VESK_SCREENSHOT_DIR).
function(vesk_add_qtest)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} Qt6::Test Qt6::Widgets vesk_warnings)
  set_target_properties(${ARG_NAME} PROPERTIES AUTOMOC ON)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/screenshots)
  add_test(NAME ${ARG_NAME}
    COMMAND ${CMAKE_COMMAND} -E env --unset=VESK_CAMERA_SIM --unset=VESK_CAMERA_BACKEND ${VESK_TEST_ENVIRONMENT}
            "VESK_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots"
            $<TARGET_FILE:${ARG_NAME}>)
endfunction()
