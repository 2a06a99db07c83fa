# Where an install puts the game, and the .deb made from it. Included by the top-level
# CMakeLists.txt once the targets exist.
#
# The paths follow GNUInstallDirs and can be overridden; Debian's games policy is
#   -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_BINDIR=games -DCMAKE_INSTALL_DATADIR=share/games
# The sounds go to <DATADIR>/kelo-typing/snd; the menu entry, icons, metainfo and man page
# go where desktops and man look for them (<DATAROOTDIR>/applications, ... , <MANDIR>/man6)
# whatever DATADIR is.

include(GNUInstallDirs)

# Placeholders until the project has a home of its own; the AppStream id is the home's
# reversed domain.
set(KELO_HOMEPAGE "https://example.org/kelo-typing" CACHE STRING "The project's web page")
set(KELO_APP_ID "org.example.kelo_typing" CACHE STRING "The AppStream component id")
# The day PROJECT_VERSION was released, for the metainfo and the man page.
set(KELO_RELEASE_DATE "2026-12-07")

set(KELO_DATA_INSTALL_DIR "${CMAKE_INSTALL_DATADIR}/kelo-typing")

# The game looks for its sounds relative to its own executable, so an install that is
# moved or unpacked somewhere else (dpkg -x) still has them.
file(RELATIVE_PATH KELO_DATA_FROM_BINDIR
  "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/kelo-typing")
set_property(SOURCE src/platform/sdl/AudioPaths.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS KELO_DATA_FROM_BINDIR="${KELO_DATA_FROM_BINDIR}")
# The translations likewise, in the system's locale folder.
file(RELATIVE_PATH KELO_LOCALE_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LOCALEDIR}")
set_property(SOURCE src/platform/common/MessageCatalogue.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS KELO_LOCALE_FROM_BINDIR="${KELO_LOCALE_FROM_BINDIR}")

# The layout as resolved, for tests/e2e/installed_game.sh.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/install-layout.txt CONTENT
  "${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_DATADIR} ${CMAKE_INSTALL_DATAROOTDIR} ${CMAKE_INSTALL_MANDIR} ${KELO_APP_ID} ${KELO_INSTALL_SIM}\n")

install(TARGETS kelo-typing RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(KELO_INSTALL_SIM)
  install(TARGETS kelo-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY snd DESTINATION ${KELO_DATA_INSTALL_DIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/locale/ DESTINATION ${CMAKE_INSTALL_LOCALEDIR})

configure_file(dist/kelo-typing.metainfo.xml.in ${CMAKE_BINARY_DIR}/${KELO_APP_ID}.metainfo.xml @ONLY)
# The man page names the data folder of the configured prefix (/usr for the .deb).
string(REPLACE "-" "\\-" KELO_MAN_DATADIR "${CMAKE_INSTALL_FULL_DATADIR}")
string(REPLACE "-" "\\-" KELO_MAN_LOCALEDIR "${CMAKE_INSTALL_FULL_LOCALEDIR}")
configure_file(dist/kelo-typing.6.in ${CMAKE_BINARY_DIR}/kelo-typing.6 @ONLY)
# Installed compressed, as Debian ships man pages; -n keeps the .deb reproducible.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/kelo-typing.6.gz
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/kelo-typing.6 > ${CMAKE_BINARY_DIR}/kelo-typing.6.gz
  DEPENDS ${CMAKE_BINARY_DIR}/kelo-typing.6 VERBATIM)
add_custom_target(kelo_man_page ALL DEPENDS ${CMAKE_BINARY_DIR}/kelo-typing.6.gz)
install(FILES dist/kelo-typing.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(DIRECTORY dist/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)
install(FILES ${CMAKE_BINARY_DIR}/${KELO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${CMAKE_BINARY_DIR}/kelo-typing.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES dist/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelo-typing)
# The release history, in Debian's changelog format, compressed as Debian ships it.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/dist/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/dist/changelog VERBATIM)
add_custom_target(kelo_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelo-typing)

# The .deb: `cpack -G DEB` in a build configured with the Debian paths above, as
# scripts/make-deb.sh does.
set(CPACK_PACKAGE_NAME kelo-typing)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ke-Lo Typing developers")
set(CPACK_PACKAGE_CONTACT "Ke-Lo Typing developers <kelo-typing@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "typing game with a space-flight theme")
set(CPACK_PACKAGE_DESCRIPTION
  "Every correctly typed letter drives a craft forward through a star field,\n"
  "every wrong key costs speed, and the stage clock runs down while you fly.\n"
  "Nine courses, the best five runs of each kept as records, sound effects\n"
  "and music.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KELO_HOMEPAGE})
# The libraries come from dpkg-shlibdeps; the font is opened at run time. The music plays
# from its renderings; FluidSynth and a soundfont only synthesise MIDI files that have none.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libfluidsynth3, timgm6mb-soundfont | sf2-soundfont-gm")
include(CPack)
