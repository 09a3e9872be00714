# The Debian package is built by debhelper from debian/ (scripts/package runs dpkg-buildpackage); here
# only the check that the release notes name the release project(VERSION) builds.
file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog flashwell_changelog_top LIMIT_COUNT 1)
file(READ ${PROJECT_SOURCE_DIR}/res/io.github.flashwell.flashwell.metainfo.xml flashwell_metainfo)
string(FIND "${flashwell_metainfo}" "<release version=\"${PROJECT_VERSION}\"" flashwell_metainfo_release)
if(NOT flashwell_changelog_top MATCHES "^flashwell \\(${PROJECT_VERSION}-[0-9]+\\) " OR flashwell_metainfo_release EQUAL -1)
  message(FATAL_ERROR "version ${PROJECT_VERSION}: add its entry to debian/changelog and its <release> to "
                      "res/io.github.flashwell.flashwell.metainfo.xml")
endif()
