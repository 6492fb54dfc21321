# `cpack -G DEB` in a build tree: a Debian package of what `cmake --install`
# puts in place, named quillane_<version>_<arch>.deb. The package is native
# (the version has no Debian revision): it is built from this tree, not from
# a release tarball with packaging of its own.

set(CPACK_PACKAGE_NAME quillane)
set(CPACK_PACKAGE_VENDOR "Quillane Developers")
set(CPACK_PACKAGE_CONTACT "Quillane Developers <dev@quillane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast, safe storage explorer for Linux desktops")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: from the shared libraries the stripped binary links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own translations, so the standard dialog buttons speak the window's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
# The install tree's own modes (0644 files, 0755 folders and programs), not
# the builder's umask.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# (Read by install() calls: this file is included before any of them.)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The extended description; CPack puts the summary above it, indents it and
# turns the blank line into the control file's " ." paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillane walks a folder in parallel and shows how much disk space it really
uses: allocated blocks rather than file lengths, hard links counted once and
symbolic links never followed.

Its window draws the folder as a treemap, so the largest items stand out at
a glance, finds the reclaimable caches of developer tools and browsers, and
moves what you no longer need to the Trash past a guard that refuses system
folders, personal folders and secrets. The same scan, treemap, cache and
Trash commands work from the terminal, with JSON output that ncdu and gdu
open.")

# Compresses documentation as man-db and Debian expect it: -n keeps the name
# and time stamp out of the gzip header, so rebuilds give equal bytes.
find_program(QUILLANE_GZIP gzip REQUIRED)

# A native package's changelog, which Debian policy asks for in the
# documentation folder: one entry for this version, dated its release day.
execute_process(COMMAND date -u -R -d "${QUILLANE_RELEASE_DATE} 12:00:00"
                OUTPUT_VARIABLE _changelogDate OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE _dateStatus)
if(NOT _dateStatus EQUAL 0)
  message(FATAL_ERROR "cannot read QUILLANE_RELEASE_DATE '${QUILLANE_RELEASE_DATE}' as a date")
endif()
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog CONTENT
     "quillane (${PROJECT_VERSION}) unstable; urgency=medium\n\n  * Release ${PROJECT_VERSION}.\n\n -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${_changelogDate}\n")
set(_changelogGz ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${_changelogGz}
  COMMAND ${QUILLANE_GZIP} -9nkf ${PROJECT_BINARY_DIR}/doc/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog VERBATIM)
add_custom_target(QuillaneChangelog ALL DEPENDS ${_changelogGz})
install(FILES ${_changelogGz} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillane)

include(CPack)
