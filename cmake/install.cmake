# Installing the programs (cmake --install), the desktop entry, icons and manual pages, and the
# Debian package that `make package` builds with CPack.
include(GNUInstallDirs)

install(TARGETS ${PAGORA_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(PAGORA_GUI)
  install(FILES ${packaging}/pagora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${packaging}/icons/pagora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size IN ITEMS 16 24 32 48 64 128 256)
    install(FILES ${packaging}/icons/pagora-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pagora.png)
  endforeach()
endif()

# Manual pages from each program's --help and --version, made at build time. Debian wants them
# compressed; gzip -n keeps the package reproducible.
pagora_require_program(HELP2MAN help2man help2man)
pagora_require_program(GZIP gzip gzip)
set(man_sections
    "pagora-cli|build books for the Casio PV handheld from a terminal"
    "corvane-cli|send books to the Casio PV handheld over a serial line"
    "pvsim|a Casio PV handheld simulated on a pseudo-terminal")
set(man_pages "")
foreach(entry IN LISTS man_sections)
  string(REPLACE "|" ";" pair "${entry}")
  list(GET pair 0 program)
  list(GET pair 1 summary)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --section=1 --name=${summary}
              --include=${packaging}/man-common.h2m --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -n -9 -f ${page}
      DEPENDS ${program} ${packaging}/man-common.h2m
      COMMENT "Manual page for ${program}"
      VERBATIM)
  list(APPEND man_pages ${page}.gz)
endforeach()
# The two windows have pages written by hand.
if(PAGORA_GUI)
  foreach(program IN ITEMS pagora corvane)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${GZIP} -n -9 -c ${packaging}/${program}.1 > ${page}.gz
        DEPENDS ${packaging}/${program}.1
        COMMENT "Manual page for ${program}")
    list(APPEND man_pages ${page}.gz)
  endforeach()
endif()
# Debian wants a changelog, compressed, beside the copyright file.
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP} -n -9 -c ${packaging}/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
    DEPENDS ${packaging}/changelog)
list(APPEND man_pages ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_target(manpages ALL DEPENDS ${man_pages})
list(REMOVE_ITEM man_pages ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pagora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The project has no mail address yet. Debian's fields need one, so they carry an address in the
# reserved .invalid domain, which no mail reaches; packaging/changelog signs the same way.
set(pagora_maintainer "The Pagora and Corvane developers <no-address@pagora.invalid>")
set(CPACK_PACKAGE_VENDOR "The Pagora and Corvane developers")
set(CPACK_PACKAGE_CONTACT "${pagora_maintainer}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialog texts (Yes, No, Cancel, the file dialog) in the user's language; the
# programs' own translations are built into them.
if(PAGORA_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${pagora_maintainer}")
file(READ ${packaging}/description.txt long_description)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "book builder and serial uploader for the Casio PV handheld\n${long_description}")
include(CPack)
