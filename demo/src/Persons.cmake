# The contacts and groups window with its record forms, apart from the
# frame so that the tests drive them without it.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_library(demo_persons STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Bpersons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DragIdentifiers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FGroupPerson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FPerson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FPersonGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FieldRecall.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GroupTreeModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocatorTableView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenPersonsWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PersonGroupsModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PersonListModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PersonsContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordMessages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeIcons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeMoves.cpp)
set_target_properties(demo_persons PROPERTIES AUTOMOC ON)
target_include_directories(demo_persons PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(demo_persons PUBLIC demo_core demo_data quillnet_glue Qt6::Widgets)
target_link_libraries(demo PRIVATE demo_persons)
