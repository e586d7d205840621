# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: cpack -G DEB builds velantis_<version>_<arch>.deb from this build tree.
# VELANTIS_MAINTAINER is set in packaging/CMakeLists.txt, which also writes it into the changelog.

set(CPACK_PACKAGE_NAME velantis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velantis")
set(CPACK_PACKAGE_CONTACT "${VELANTIS_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "monitor for a three-channel wireless high-voltage ratio tester")
# The extended description in lines below 80 characters (lintian's limit); CPack puts the
# summary above it, a space before each line and " ." for the empty one.
set(CPACK_PACKAGE_DESCRIPTION [=[
The desktop program finds the instrument on a serial port (38400 baud) and
shows the high-voltage current, the R/S/T secondary currents, the ratio
error and the ratio every 500 ms. It downloads up to 4000 stored groups of
readings, saves, opens, prints and exports them (CSV, a PDF test report
with verdicts by accuracy class) and keeps every download in a database
of test records.

The package also holds velantis-cli, the same controller on the command
line with a simulated instrument for trying it out, velantis-web, the
maker's web page in a window of its own, and a udev rule that sets the
latency timer of FTDI USB serial adapters to 1 ms.]=])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.qintarnorvak.com")
# Libraries the programs link, found by dpkg-shlibdeps (dpkg-dev; without it the package would
# come out with no Depends at all), and what Qt loads at run time: the xcb platform plugin (only
# a Recommends of the Qt GUI library), the list font, the SQLite driver of the test records, the
# PostgreSQL driver of the department archive and Qt's own dialog texts in Chinese.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-wqy-zenhei, libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n")

set(CPACK_GENERATOR DEB)
include(CPack)
