# The compose window, its recipient scans and the batched mass send.
add_library(demo_mail STATIC
  src/Recipient.cpp
  src/GlueText.cpp
  src/MailComposer.cpp
  src/RefusedRecipients.cpp
  src/MassSend.cpp
  src/RecipientScan.cpp
  src/StoredMail.cpp
  src/DatabaseBatchJournal.cpp
  src/MassSendThread.cpp
  src/ScanProgressDialog.cpp
  src/SendProgressWindow.cpp
  src/SendReportWindow.cpp
  src/ReceiverTreeModel.cpp
  src/EmailWindow.cpp
  src/EmailWindowHook.cpp)
set_target_properties(demo_mail PROPERTIES AUTOMOC ON)
target_include_directories(demo_mail PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(demo_mail PUBLIC Qt6::Widgets demo_core demo_data quillnet_glue)

if(QUILLNET_BUILD_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  function(demo_mail_test name)
    add_executable(${name} tests/${name}.cpp ${ARGN})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE demo_mail quillnet_glue_testing Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endfunction()
  demo_mail_test(demo_masssend_test)
  demo_mail_test(demo_emailwindow_test)
  # Delivers to a real SMTP server on loopback and checks there.
  demo_mail_test(demo_masssend_delivery_test)
  target_include_directories(demo_masssend_delivery_test PRIVATE tests/support)
  target_compile_definitions(demo_masssend_delivery_test PRIVATE
    DEMO_CAPTURE_SERVER="${PROJECT_SOURCE_DIR}/library/tests/peers/capture_server.py"
    DEMO_CHECK_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/tests/check_mass_send.py"
    DEMO_PYTHON="/usr/bin/python3")
  # The mail login, its password store and the Defaults form's password.
  demo_mail_test(demo_maillogin_test)
  target_include_directories(demo_maillogin_test PRIVATE tests/support)
  # A send with login over STARTTLS to aiosmtpd with the library tests' certificates.
  demo_mail_test(demo_submission_delivery_test ${PROJECT_SOURCE_DIR}/library/tests/support/TestCertificates.cpp)
  target_include_directories(demo_submission_delivery_test PRIVATE tests/support ${PROJECT_SOURCE_DIR}/library/tests)
  target_compile_definitions(demo_submission_delivery_test PRIVATE
    DEMO_CAPTURE_SERVER="${PROJECT_SOURCE_DIR}/library/tests/peers/capture_server.py"
    DEMO_PYTHON="/usr/bin/python3")
endif()
