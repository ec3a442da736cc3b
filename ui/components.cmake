# Parts of the desktop program that stand on their own: recovery of the checked files, find in
# the tree, and the start-up rules (autorun switch, one instance per user).
find_package(Qt6 REQUIRED COMPONENTS Widgets Network)

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH SALVORAN_COMPONENTS_ROOT)
add_library(salvoran_ui_components STATIC
  ${SALVORAN_COMPONENTS_ROOT}/app/AutorunSwitch.cpp
  ${SALVORAN_COMPONENTS_ROOT}/app/SingleInstance.cpp
  ${SALVORAN_COMPONENTS_ROOT}/app/SingleInstance.h
  ${SALVORAN_COMPONENTS_ROOT}/app/SignalShutdown.cpp
  ${SALVORAN_COMPONENTS_ROOT}/ui/FindDialog.cpp
  ${SALVORAN_COMPONENTS_ROOT}/ui/FindDialog.h
  ${SALVORAN_COMPONENTS_ROOT}/ui/FindInTree.cpp
  ${SALVORAN_COMPONENTS_ROOT}/ui/ProgramSettings.cpp
  ${SALVORAN_COMPONENTS_ROOT}/ui/QtRecoveryDialogs.cpp
  ${SALVORAN_COMPONENTS_ROOT}/ui/QtRestoreProgress.cpp
  ${SALVORAN_COMPONENTS_ROOT}/ui/RecoverSelected.cpp
)
set_target_properties(salvoran_ui_components PROPERTIES AUTOMOC ON)
target_include_directories(salvoran_ui_components PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(salvoran_ui_components PUBLIC salvoran_tree_model salvoran_recovery Qt6::Widgets Qt6::Network)
