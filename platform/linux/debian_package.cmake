# The Debian package (cpack -G DEB), made from the install tree. The program
# finds its shipped defaults by the prefix it was built for, so the package
# is made from a build configured with the prefix it installs to (see
# scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ripwarden)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(RIPWARDEN_MAINTAINER "Ripwarden developers <ripwarden@example.org>" CACHE STRING
    "Who the Debian package names as its maintainer")
set(CPACK_PACKAGE_CONTACT "${RIPWARDEN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rips every DVD inserted, unattended, from the system tray")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ripwarden waits in the system tray and watches an optical drive. Every
video DVD put in is ripped to an MP4 or MKV file with HandBrakeCLI, and a
notification says when a disc is done.")
# The libraries from what the program links; by hand, the encoder it runs and
# the libavformat the helper opens at run time, of the major it was built for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
string(REGEX MATCH "^[0-9]+" RIPWARDEN_AVFORMAT_MAJOR "${HELPER_AVFORMAT_libavformat_VERSION}")
if(NOT RIPWARDEN_AVFORMAT_MAJOR)
  message(FATAL_ERROR "The helper's libavformat version is unknown: the package could not name it")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "handbrake-cli, libavformat${RIPWARDEN_AVFORMAT_MAJOR}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
