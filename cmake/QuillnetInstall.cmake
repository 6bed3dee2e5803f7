# Installation of the kit: the mail library and its header, the glue library
# and its headers, quillnet-send, a CMake package (find_package(quillnet)
# gives quillnet::quillnet and quillnet::glue) and pkg-config files.
include(CMakePackageConfigHelpers)

# Three components, one per Debian package: the shared library alone
# (quillnet_runtime), what a developer builds against (quillnet_dev) and the
# programs (quillnet_tools). The window programs install into quillnet_tools
# from their own folders.
set(QUILLNET_RUNTIME COMPONENT quillnet_runtime)
set(QUILLNET_KIT COMPONENT quillnet_dev)

set(QUILLNET_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quillnet)

install(TARGETS quillnet EXPORT quillnetTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} ${QUILLNET_RUNTIME} NAMELINK_COMPONENT quillnet_dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} ${QUILLNET_KIT}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${QUILLNET_RUNTIME})
install(FILES ${PROJECT_SOURCE_DIR}/library/include/quillnet/wrenpost.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillnet ${QUILLNET_KIT})

if(TARGET quillnet_glue)
  install(TARGETS quillnet_glue EXPORT quillnetTargets ${QUILLNET_KIT}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES
    ${PROJECT_SOURCE_DIR}/glue/include/quillnet/wrenpostclass.h
    ${PROJECT_SOURCE_DIR}/glue/include/quillnet/hostservices.h
    ${PROJECT_SOURCE_DIR}/glue/include/quillnet/progressfigures.h
    ${PROJECT_SOURCE_DIR}/glue/include/quillnet/sendreport.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillnet ${QUILLNET_KIT})
endif()

if(TARGET quillnet-send)
  install(TARGETS quillnet-send COMPONENT quillnet_tools RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT quillnetTargets NAMESPACE quillnet:: DESTINATION ${QUILLNET_CMAKE_DIR}
  FILE quillnetTargets.cmake ${QUILLNET_KIT})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/quillnetConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/quillnetConfig.cmake
  INSTALL_DESTINATION ${QUILLNET_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/quillnetConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillnetConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/quillnetConfigVersion.cmake
  DESTINATION ${QUILLNET_CMAKE_DIR} ${QUILLNET_KIT})

# The pkg-config files find their prefix from where they lie, so the kit
# works wherever `cmake --install --prefix` put it.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QUILLNET_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QUILLNET_PC_UP "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" QUILLNET_PC_UP "${QUILLNET_PC_UP}")
  set(QUILLNET_PC_PREFIX "\${pcfiledir}/${QUILLNET_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quillnet.pc.in ${CMAKE_CURRENT_BINARY_DIR}/quillnet.pc @ONLY)
set(QUILLNET_PC_FILES ${CMAKE_CURRENT_BINARY_DIR}/quillnet.pc)
if(TARGET quillnet_glue)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/quillnet-glue.pc.in ${CMAKE_CURRENT_BINARY_DIR}/quillnet-glue.pc @ONLY)
  list(APPEND QUILLNET_PC_FILES ${CMAKE_CURRENT_BINARY_DIR}/quillnet-glue.pc)
endif()
install(FILES ${QUILLNET_PC_FILES} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig ${QUILLNET_KIT})

# Installs the kit into a scratch prefix and builds a C host and a C++ glue
# host against it, once through find_package and once through pkg-config.
if(QUILLNET_BUILD_TESTS AND TARGET quillnet_glue AND TARGET quillnet-send)
  set(QUILLNET_INSTALL_TEST_FLAGS "")
  if(QUILLNET_SANITIZE)
    set(QUILLNET_INSTALL_TEST_FLAGS "-fsanitize=address,undefined")
  endif()
  add_test(NAME quillnet_install
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/tests/install_test.sh
            ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/tools/tests/install "${QUILLNET_INSTALL_TEST_FLAGS}")
  set_tests_properties(quillnet_install PROPERTIES TIMEOUT 300)
endif()
