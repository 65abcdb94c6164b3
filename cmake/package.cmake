# The Debian package: `cpack -G DEB` (or `ninja package`) in the build folder
# makes corvash_<version>_<arch>.deb of what cmake --install lays out, under
# /usr. Its release comes from the changelog's newest entry, which must name
# the project's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/install/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^corvash \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/install/changelog: the newest entry is not version ${PROJECT_VERSION}")
endif()
# The entry's trailer: " -- NAME <MAIL>  Day, DD Mon YYYY HH:MM:SS +ZZZZ"
list(FILTER changelog_lines INCLUDE REGEX "^ -- ")
list(GET changelog_lines 0 changelog_trailer)
if(NOT changelog_trailer MATCHES "^ -- (.+)  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "cmake/install/changelog: the newest entry has no trailer with a date")
endif()
set(CORVASH_MAINTAINER "${CMAKE_MATCH_1}")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_3} month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
if(month LESS 10)
  set(month "0${month}")
endif()
# The AppStream release date.
set(CORVASH_RELEASE_DATE "${CMAKE_MATCH_4}-${month}-${CMAKE_MATCH_2}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvash)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash the ROM of a Quor Pocket PC (K5210) from Linux")
set(CPACK_PACKAGE_DESCRIPTION "\
Corvash replaces the ROM image of a Quor Pocket PC (model K5210). It can
first save the handheld's current ROM to a file, and it finishes an
interrupted flash the next time it starts. It reaches the handheld through
a remote API while the handheld runs its own system, and its boot loader
over a serial or USB serial port.
.
The package holds the wizard corvash with the programs it copies to the
handheld, k5210-emu, a virtual handheld that runs the whole update without
hardware, and nbf, a tool that shows, verifies and creates ROM image files.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVASH_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin at run time, which no library dependency
# names; the pages' dialog font has Arial's metrics.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
