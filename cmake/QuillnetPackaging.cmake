# Debian packages of the kit, one per install component:
#   libquillnet3     the shared mail library
#   libquillnet-dev  headers, glue library, CMake package, pkg-config files
#   quillnet-tools   quillnet-send with its man page and the window programs
# Build them from a tree configured with -DCMAKE_INSTALL_PREFIX=/usr
# (scripts/build-packages.sh does it): `cpack -G DEB` in that tree.
set(QUILLNET_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUILLNET_PACKAGE_RELEASE 1)

# Every package carries its copyright file and a Debian changelog.
configure_file(${QUILLNET_PACKAGING_DIR}/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
execute_process(
  COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian
  OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz)
execute_process(
  COMMAND gzip -9nc ${QUILLNET_PACKAGING_DIR}/quillnet-send.1
  OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/packaging/quillnet-send.1.gz)

foreach(package_and_component libquillnet3:quillnet_runtime libquillnet-dev:quillnet_dev quillnet-tools:quillnet_tools)
  string(REPLACE ":" ";" pair ${package_and_component})
  list(GET pair 0 package)
  list(GET pair 1 component)
  install(FILES ${QUILLNET_PACKAGING_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/quillnet-send.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT quillnet_tools)
install(FILES ${QUILLNET_PACKAGING_DIR}/quillnet.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT quillnet_tools)
file(GLOB QUILLNET_DESKTOP_ENTRIES ${QUILLNET_PACKAGING_DIR}/*.desktop)
install(FILES ${QUILLNET_DESKTOP_ENTRIES}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT quillnet_tools)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillnet)
set(CPACK_PACKAGE_VENDOR "The quillnet developers")
set(CPACK_PACKAGE_CONTACT "The quillnet developers <quillnet-developers@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENTS_ALL quillnet_runtime quillnet_dev quillnet_tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUILLNET_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need the library of this same build, which is in no package yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/library)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")

set(CPACK_DEBIAN_QUILLNET_RUNTIME_PACKAGE_NAME libquillnet3)
set(CPACK_DEBIAN_QUILLNET_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
# The dynamic linker's cache is refreshed by a trigger, not by the scripts.
set(CPACK_DEBIAN_QUILLNET_RUNTIME_PACKAGE_CONTROL_EXTRA ${QUILLNET_PACKAGING_DIR}/triggers)
set(CPACK_COMPONENT_QUILLNET_RUNTIME_DESCRIPTION "Internet mail library for desktop database applications
quillnet composes an RFC 822 / MIME message (text, HTML with its local
pictures as related parts, base64 attachments) from one job block and
delivers it over SMTP or posts it over NNTP, with progress and cancel.

This package holds the shared library.")

set(CPACK_DEBIAN_QUILLNET_DEV_PACKAGE_NAME libquillnet-dev)
set(CPACK_DEBIAN_QUILLNET_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_QUILLNET_DEV_DEPENDS quillnet_runtime)
set(CPACK_COMPONENT_QUILLNET_DEV_DESCRIPTION "Internet mail library for desktop database applications - development files
quillnet composes and delivers Internet mail from one job block.

This package holds the C header of the library, the host glue library
with its C++ headers, a CMake package and pkg-config files.")

set(CPACK_DEBIAN_QUILLNET_TOOLS_PACKAGE_NAME quillnet-tools)
set(CPACK_DEBIAN_QUILLNET_TOOLS_PACKAGE_SECTION mail)
set(CPACK_COMPONENT_QUILLNET_TOOLS_DEPENDS quillnet_runtime)
set(CPACK_COMPONENT_QUILLNET_TOOLS_DESCRIPTION "Internet mail library for desktop database applications - programs
quillnet composes and delivers Internet mail from one job block.

This package holds quillnet-send, a command-line sender, and the desktop
programs built on the library.")

include(CPack)
