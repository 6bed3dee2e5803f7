# Tests of the contacts window and its forms (offscreen, recording host services).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(demo_persons_test ${CMAKE_CURRENT_LIST_DIR}/demo_persons_test.cpp)
set_target_properties(demo_persons_test PROPERTIES AUTOMOC ON)
target_link_libraries(demo_persons_test PRIVATE demo_persons quillnet_glue_testing Qt6::Test)
add_test(NAME demo_persons_test COMMAND demo_persons_test)
set_tests_properties(demo_persons_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

# Pictures of the contacts window and its forms for a look at their layout: not a test.
add_executable(demo_persons_snapshot EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/demo_persons_snapshot.cpp)
set_target_properties(demo_persons_snapshot PROPERTIES AUTOMOC ON)
target_include_directories(demo_persons_snapshot PRIVATE ${CMAKE_CURRENT_LIST_DIR}/support)
target_link_libraries(demo_persons_snapshot PRIVATE demo_persons quillnet_glue_testing Qt6::Test)
