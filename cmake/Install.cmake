# Where `cmake --install` puts the programs and their files, and the Debian
# package CPack makes of that (scripts/package).
#
#   bin/                         tamberly, tamberly-cli
#   lib/tamberly/                libaweman32.so, libaweman32-emux.so, libtamberly-sound.so
#   share/tamberly/              tips.txt, screenshot.png, manual.md (the help window's text)
#   share/applications/          tamberly.desktop
#   share/icons/hicolor/         the application icon (SVG, 48 and 128 px)
#   share/mime/packages/         tamberly.xml (the .tmb and .sbk types)
#   share/metainfo/              tamberly.metainfo.xml (AppStream, for software centres)
#   share/bash-completion/completions/  tamberly-cli
#   share/man/man1/              tamberly.1.gz, tamberly-cli.1.gz
#   share/doc/tamberly/          copyright, changelog.gz

include(GNUInstallDirs)

set(TAMBERLY_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/res/desktop)

install(TARGETS tamberly-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The card's library is the programs' own, not one for other programs to
# link: it goes to lib/tamberly under the prefix whatever the platform's
# library folder (lib/x86_64-linux-gnu on Debian), because the programs look
# for it at that place relative to themselves (their install rpath and the
# card session's own lookup).
set(TAMBERLY_PRIVATE_LIBDIR lib/tamberly)
install(TARGETS aweman32 aweman32-emux tamberly-sound LIBRARY DESTINATION ${TAMBERLY_PRIVATE_LIBDIR})

install(FILES ${PROJECT_SOURCE_DIR}/res/tips.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/tamberly)
install(FILES ${TAMBERLY_DESKTOP_DIR}/tamberly.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# The bash completion of tamberly-cli, where bash-completion loads it from:
# its pkg-config completionsdir taken relative to its own prefix, so that the
# file lands under this installation's prefix (a user's ~/.local, a package's
# /usr) and not always in the system's folder; the usual place without it.
set(TAMBERLY_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_get_variable(BASH_COMPLETION_DIR bash-completion completionsdir)
  pkg_get_variable(BASH_COMPLETION_PREFIX bash-completion prefix)
  if(BASH_COMPLETION_DIR AND BASH_COMPLETION_PREFIX)
    string(FIND "${BASH_COMPLETION_DIR}" "${BASH_COMPLETION_PREFIX}/" at)
    if(at EQUAL 0)
      file(RELATIVE_PATH TAMBERLY_COMPLETION_DIR ${BASH_COMPLETION_PREFIX} ${BASH_COMPLETION_DIR})
    endif()
  endif()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/res/completion/tamberly-cli DESTINATION ${TAMBERLY_COMPLETION_DIR})

# The window, with what the desktop shows of it, when it is part of the build.
set(TAMBERLY_PAGES tamberly-cli.1)
if(TARGET tamberly)
  install(TARGETS tamberly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TAMBERLY_DESKTOP_DIR}/tamberly.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # What software centres list, and the picture of the window it shows.
  install(FILES ${TAMBERLY_DESKTOP_DIR}/tamberly.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${TAMBERLY_DESKTOP_DIR}/screenshot.png DESTINATION ${CMAKE_INSTALL_DATADIR}/tamberly)
  # The user manual the help window shows (F1, Help > Help Topics).
  install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.md DESTINATION ${CMAKE_INSTALL_DATADIR}/tamberly)
  install(FILES ${TAMBERLY_DESKTOP_DIR}/tamberly.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 128)
    install(FILES ${TAMBERLY_DESKTOP_DIR}/icons/${size}x${size}/tamberly.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  list(APPEND TAMBERLY_PAGES tamberly.1)
endif()

# Manual pages: the version and the installed folders filled in, then
# compressed as Debian keeps them (-n: no name or time stamp in the archive,
# so the same page always gives the same bytes).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VERSION ${PROJECT_VERSION})
set(LIBDIR ${CMAKE_INSTALL_PREFIX}/lib)
set(DATADIR ${CMAKE_INSTALL_FULL_DATADIR})
set(COMPLETIONDIR ${CMAKE_INSTALL_PREFIX}/${TAMBERLY_COMPLETION_DIR})
set(TAMBERLY_MAN_PAGES)
foreach(page ${TAMBERLY_PAGES})
  set(filled ${PROJECT_BINARY_DIR}/man/${page})
  configure_file(${PROJECT_SOURCE_DIR}/man/${page} ${filled} @ONLY)
  add_custom_command(OUTPUT ${filled}.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${filled}
    DEPENDS ${filled}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND TAMBERLY_MAN_PAGES ${filled}.gz)
endforeach()
add_custom_target(tamberly_man ALL DEPENDS ${TAMBERLY_MAN_PAGES})
install(FILES ${TAMBERLY_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's own documents, where Debian keeps them: the copyright and
# a changelog of this version (a changelog date follows SOURCE_DATE_EPOCH
# when that is set, so a rebuild can give the same bytes).
# The maintainer: the project, with an address under the reserved .invalid
# domain (RFC 6761), which says that no mailbox exists rather than naming one
# that nobody reads; the project has no address of its own yet.
set(MAINTAINER "The Tamberly developers <no-reply@tamberly.invalid>")
string(TIMESTAMP DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${PROJECT_BINARY_DIR}/debian/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
  COMMENT "Compressing the changelog")
add_custom_target(tamberly_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tamberly)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamberly)
set(CPACK_PACKAGE_VENDOR "The Tamberly developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "virtual bank editor for AWE32-class sample sound cards")
# The manual pages name the installed folders: scripts/package configures
# with the prefix /usr so that they agree with the package.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The long description: CPack puts the summary before it, indents every line
# by one space and turns the empty line into the paragraph mark " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tamberly 96 puts together virtual banks: which preset of which SoundFont 1
bank (.sbk) or wave file sounds on each bank:program slot of a sample-based
sound card of the AWE32 family, with whole bank files for the user banks,
the synth mode (General MIDI, Roland GS or MT-32) and the effects. A virtual
bank is kept as a .tmb document; the card follows every edit at once.

An emulated card ships with the program, its sound played by FluidSynth with
the TimGM6mb General MIDI set. tamberly-cli inspects banks, converts wave
files and SoundFont 1 banks, and drives the card from the shell.")
# The libraries the programs link (Qt 6 Widgets, RtMidi, FluidSynth, ALSA)
# come from dpkg-shlibdeps; the General MIDI sound set is data nobody links,
# and Qt loads its platform plug-ins (the X11 and Wayland windows) at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont, qt6-qpa-plugins")
include(CPack)
