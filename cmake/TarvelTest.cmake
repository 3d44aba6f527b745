find_package(GTest REQUIRED)
include(GoogleTest)

# tarvel_add_test(NAME name SOURCES a.cpp ... [GUI] [LIBS lib ...] [PROPERTIES name value ...])
# Declares one GoogleTest program linked with the core and registers its cases with CTest, with any further
# test properties given (a fixture, a resource lock). Tests that need a missing tool print a message and exit
# with 77, which CTest reports as skipped. A GUI test links the window program's library and a main of its
# own that puts Qt on the offscreen platform before the application exists.
function(tarvel_add_test)
  cmake_parse_arguments(TEST "GUI" "NAME" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  if(TEST_GUI)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(${TEST_NAME} ${TEST_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/GuiTestMain.cpp)
    target_link_libraries(${TEST_NAME} PRIVATE tarvel_gui Qt6::Test GTest::gtest ${TEST_LIBS})
  else()
    add_executable(${TEST_NAME} ${TEST_SOURCES})
    target_link_libraries(${TEST_NAME} PRIVATE tarvel_core GTest::gtest GTest::gtest_main ${TEST_LIBS})
  endif()
  target_include_directories(${TEST_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${TEST_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Parameterized cases are named by their own name generators, never by a dump of their parameter's bytes.
  gtest_discover_tests(${TEST_NAME}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    NO_PRETTY_VALUES
    PROPERTIES SKIP_RETURN_CODE 77 ${TEST_PROPERTIES}
    DISCOVERY_TIMEOUT 60)
endfunction()

# tarvel_add_test_as_ordinary_user(program ...)
# Runs whole test programs once more as the unprivileged user "nobody" (tests/support/as_user.sh), as a
# daemon started by an ordinary user runs; skipped when the tests are not run as root.
function(tarvel_add_test_as_ordinary_user)
  foreach(program IN LISTS ARGN)
    add_test(NAME ${program}_as_ordinary_user
             COMMAND sh ${PROJECT_SOURCE_DIR}/tests/support/as_user.sh $<TARGET_FILE:${program}>)
    set_tests_properties(${program}_as_ordinary_user PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()
endfunction()
