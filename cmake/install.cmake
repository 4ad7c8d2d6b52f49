# Installation and packaging: `cmake --install` puts the shared libraries (with their SONAME
# links), the public headers, sccube, a relocatable CMake package (find_package(sc_api) ->
# sc_api::sc_api) and a pkg-config file under the prefix; `cpack -G DEB` makes three Debian
# packages from the same components: libsc-api0 (runtime), libsc-api-dev (development) and
# sccube (tool).
include(CMakePackageConfigHelpers)

set(SC_API_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sc_api)

# The runtime libraries find each other, and the tool finds them, wherever the prefix is moved.
set_target_properties(tuplink PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 0
                                         INSTALL_RPATH "$ORIGIN")
set_target_properties(sc_api PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS sc_api tuplink EXPORT sc_apiTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The middleware's transport, which sccube's serve and call subcommands use; no headers of it
# are installed.
if(TARGET tuplink_transport)
  set_target_properties(tuplink_transport PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 0
                                                     INSTALL_RPATH "$ORIGIN")
  install(TARGETS tuplink_transport
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_SKIP)
endif()

# The public headers, and the middleware headers they include: the counted reference and list
# types of the task processor's actions (tuplink::RefObject, AutoRef, BaseList) and the lock an
# action hands out (tuplink::CriticalSection). The rest of tuplink stays private.
# remote_cube.h belongs to the client library sc_api_remote, which is not installed.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/sc_api
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  PATTERN remote_cube.h EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/include/sc_api/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sc_api COMPONENT development)
install(FILES
    ${PROJECT_SOURCE_DIR}/tuplink/include/tuplink/base_list.h
    ${PROJECT_SOURCE_DIR}/tuplink/include/tuplink/critical_section.h
    ${PROJECT_SOURCE_DIR}/tuplink/include/tuplink/export.h
    ${PROJECT_SOURCE_DIR}/tuplink/include/tuplink/ref_object.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tuplink COMPONENT development)

if(TARGET sccube)
  set_target_properties(sccube PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS sccube RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()

install(EXPORT sc_apiTargets NAMESPACE sc_api:: DESTINATION ${SC_API_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sc_apiConfig.cmake.in
  ${PROJECT_BINARY_DIR}/sc_apiConfig.cmake INSTALL_DESTINATION ${SC_API_CMAKE_DIR})
# 0.x releases promise compatibility only within a minor version.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sc_apiConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sc_apiConfig.cmake ${PROJECT_BINARY_DIR}/sc_apiConfigVersion.cmake
  DESTINATION ${SC_API_CMAKE_DIR} COMPONENT development)

configure_file(${CMAKE_CURRENT_LIST_DIR}/sc_api.pc.in ${PROJECT_BINARY_DIR}/sc_api.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sc_api.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# Debian packages, one per component, with the dependencies between them and on the system's
# shared libraries (found by dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME sc-api)
set(CPACK_PACKAGE_VENDOR "sc_api developers")
set(CPACK_PACKAGE_CONTACT "sc_api developers <sc-api@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Spectral-image cubes: read, build, compress, convert")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime development tool)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool's dependency on our own libraries comes from the component dependency below;
# dpkg-shlibdeps, run inside the tool's staging folder, finds them in the runtime's beside it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ../runtime/usr/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libsc-api0)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libsc-api-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME sccube)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION science)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "sc_api shared libraries")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "sc_api headers, CMake package and pkg-config file")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "sccube: look at, convert, check and import cubes")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
include(CPack)
