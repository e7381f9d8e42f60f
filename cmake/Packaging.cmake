# The Debian package (`make package`, CPack's DEB generator): the three programs in
# /usr/bin, their manual pages, the HTML manual with its screenshots under
# /usr/share/doc/tarnwell, the desktop entry and the icon in every size of the icon theme.
# Depends is computed from the binaries by dpkg-shlibdeps (scripts/install-deps --package).
# The modules the programs open on demand (Qt drawing, OpenCV) go to
# /usr/lib/<triplet>/tarnwell (apps/modules/CMakeLists.txt), the same path from the
# programs as in the build tree, with the module runner tarnwell-cli-modules that runs the
# statically linked tool's commands that open them (apps/tarnwell-cli/CMakeLists.txt).

set(TARNWELL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwell)

# The installed programs resolve every symbol at start and keep their relocations
# read-only (Debian's hardening); a link option only, so nothing is compiled again.
foreach(program tarnwell tarnwell-cli tarnwell-cli-modules quentrix-sim)
  if(TARGET ${program})
    target_link_options(${program} PRIVATE LINKER:-z,relro,-z,now)
  endif()
endforeach()

# The package carries the product's own version, the one the programs show.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/core/version.h version_line REGEX "kProductVersion = \"")
string(REGEX MATCH "\"([^\"]+)\"" version_match "${version_line}")
set(TARNWELL_PACKAGE_VERSION ${CMAKE_MATCH_1})

# Manual pages and the changelog are installed compressed, without a time stamp (gzip -n),
# as Debian wants them. They are hand-written roff in docs/man/.
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
set(packaging_files)
foreach(page tarnwell tarnwell-cli quentrix-sim)
  set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
  set(compressed ${packaging_out}/${page}.1.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}
    COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${source} ${compressed}
    DEPENDS ${source} VERBATIM)
  list(APPEND packaging_files ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${packaging_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}
  COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/packaging/changelog ${packaging_out}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
list(APPEND packaging_files ${packaging_out}/changelog.gz)
add_custom_target(tarnwell_packaging_files ALL DEPENDS ${packaging_files})

install(FILES ${packaging_out}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${TARNWELL_DOC_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME tarnwell)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/manual/ DESTINATION ${TARNWELL_DOC_DIR}/manual)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/screenshots/ DESTINATION ${TARNWELL_DOC_DIR}/screenshots)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarnwell.doc-base DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc-base
        RENAME tarnwell.tarnwell-manual)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarnwell.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/packaging/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/tarnwell.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwell)
set(CPACK_PACKAGE_VERSION ${TARNWELL_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_VENDOR "The Tarnwell developers")
set(CPACK_PACKAGE_CONTACT "Tarnwell developers <maintainers@users.noreply.c-seed-481a7e8c.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "swim-maze (water maze) tracking and analysis for rodent studies")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarnwell drives the Quentrix video tracking unit over a serial line for the
swim-maze navigation test with laboratory rodents. It keeps the pool, platform,
zone, experiment and subject setups, runs the experiment trial by trial while
recording each swim path, and turns the paths into measures, reports, tables,
printed pages and exports.
.
The package holds the desktop program (tarnwell), the command-line tool for
batch work (tarnwell-cli) and a simulated tracking unit on a pseudo-terminal
(quentrix-sim), with manual pages and an HTML manual.
.
Serial ports: the operator's account needs to be in the dialout group to open
the unit's serial device (sudo adduser USER dialout, then log in again).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not a link dependency, but the desktop program cannot open a window (nor tarnwell-cli
# print a PDF) without Qt's platform plugins; the help opens the manual with xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
