# Tests of the contacts window and its forms (offscreen, recording host services).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(demo_persons_test ${CMAKE_CURRENT_LIST_DIR}/demo_persons_test.cpp)
set_target_properties(demo_persons_test PROPERTIES AUTOMOC ON)
target_link_libraries(demo_persons_test PRIVATE demo_persons quillnet_glue_testing Qt6::Test)
add_test(NAME demo_persons_test COMMAND demo_persons_test)
set_tests_properties(demo_persons_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
