# Tests of the stand-alone parts of the desktop program (ui/components.cmake).
find_package(Qt6 REQUIRED COMPONENTS Widgets Network Test)
find_package(GTest REQUIRED)

# Starts as the program does and reports its decision, so that the tests can run real instances.
add_executable(single_instance_probe ${CMAKE_CURRENT_LIST_DIR}/SingleInstanceProbe.cpp)
target_link_libraries(single_instance_probe PRIVATE salvoran_ui_components)

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH SALVORAN_COMPONENTS_TESTS_ROOT)
add_executable(salvoran_components_tests
  ${CMAKE_CURRENT_LIST_DIR}/ComponentsTestMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AutorunSwitchTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FindTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtRecoveryDialogsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecoverSelectedTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstanceTest.cpp
  ${SALVORAN_COMPONENTS_TESTS_ROOT}/support/CraftedVolume.cpp
)
target_include_directories(salvoran_components_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(salvoran_components_tests PRIVATE salvoran_ui_components Qt6::Test GTest::gtest GTest::gmock)
target_compile_definitions(salvoran_components_tests PRIVATE
  SINGLE_INSTANCE_PROBE="$<TARGET_FILE:single_instance_probe>")
add_dependencies(salvoran_components_tests single_instance_probe)

add_test(NAME salvoran_components_tests COMMAND salvoran_components_tests)
set_tests_properties(salvoran_components_tests PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300)
