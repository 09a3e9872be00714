# The Debian package of both front ends (scripts/package builds it with cpack). dpkg-shlibdeps computes the
# library dependencies from the binaries; the maintainer scripts in res/deb add the group and the capabilities.
set(flashwell_deb ${PROJECT_SOURCE_DIR}/res/deb)

# The release notes must name the release that project(VERSION) builds.
file(STRINGS ${flashwell_deb}/changelog flashwell_changelog_top LIMIT_COUNT 1)
file(READ ${PROJECT_SOURCE_DIR}/res/io.github.flashwell.flashwell.metainfo.xml flashwell_metainfo)
string(FIND "${flashwell_metainfo}" "<release version=\"${PROJECT_VERSION}\"" flashwell_metainfo_release)
if(NOT flashwell_changelog_top MATCHES "^flashwell \\(${PROJECT_VERSION}\\) " OR flashwell_metainfo_release EQUAL -1)
  message(FATAL_ERROR "version ${PROJECT_VERSION}: add its entry to res/deb/changelog and its <release> to "
                      "res/io.github.flashwell.flashwell.metainfo.xml")
endif()

# A native package (no Debian revision) keeps its changelog as changelog.gz; -n leaves out the time stamp.
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/deb/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/deb
  COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${flashwell_deb}/changelog ${PROJECT_BINARY_DIR}/deb/changelog.gz
  DEPENDS ${flashwell_deb}/changelog
  VERBATIM)
add_custom_target(deb-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/deb/changelog.gz)
install(FILES ${flashwell_deb}/copyright ${PROJECT_BINARY_DIR}/deb/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flashwell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Flashwell developers")
set(CPACK_PACKAGE_CONTACT "Flashwell developers <dev@flashwell.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bring a batch of network cameras to a chosen firmware")
# Lines under 80 characters, for Debian's package description.
set(CPACK_PACKAGE_DESCRIPTION
    "Flashwell finds the network cameras on one LAN segment by UDP broadcast
on the network card you choose and lists them by name, address and MAC
address. It flashes every selected camera at once over HTTP, checks
firmware versions, resets cameras to factory defaults and gives cameras
that all still sit at the factory address addresses of their own.

The package holds the Qt window flashwell and the console front end
flashwell-cli. Members of the system group flashwell run both without
root: the binaries carry the file capabilities cap_net_admin and
cap_net_raw.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/flashwell)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the maintainer scripts run: addgroup/delgroup and setcap.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${flashwell_deb}/postinst ${flashwell_deb}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
include(CPack)
