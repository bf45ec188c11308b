# velbrook_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>])
# One test program per folder; ctest runs each as a single test.
function(velbrook_add_test)
  cmake_parse_arguments(VT "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT VT_SOURCES)
    return()  # a test folder with no tests yet
  endif()
  find_package(GTest REQUIRED)
  add_executable(${VT_NAME} ${VT_SOURCES})
  target_link_libraries(${VT_NAME} PRIVATE ${VT_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT VT_TIMEOUT)
    set(VT_TIMEOUT 300)
  endif()
  add_test(NAME ${VT_NAME} COMMAND ${VT_NAME})
  set_tests_properties(${VT_NAME} PROPERTIES TIMEOUT ${VT_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
