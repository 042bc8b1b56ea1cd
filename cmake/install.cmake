# The version where the code and the packages show it, the program's icon,
# where an installed game keeps its files, and the packages made from them: a
# Debian package on Linux, a zip for players on Windows (from which
# tools/build_installer.sh makes the installer). CMakeLists.txt includes this
# file once its targets are made.
#
#   cmake --install build [--prefix DIR]     the installed layout
#   cpack --config build/CPackConfig.cmake   the package (tools/package.sh)
include(GNUInstallDirs)

# The day the version in project() was released: the package's changelog, the
# AppStream release and the manual page show it.
set(VARNHOLT_RELEASE_DATE 2026-12-07)
# The same day as a Debian changelog writes it; lintian checks the weekday.
set(VARNHOLT_CHANGELOG_DATE "Mon, 07 Dec 2026 12:00:00 +0000")
# The reverse-DNS name of the menu entry and the AppStream metadata.
set(VARNHOLT_APP_ID org.varnholt.varnholt)
# A Debian package must name its maintainer with a mail address. The project
# has no public address yet: the one below is in the .invalid domain, which
# never delivers, so that nobody takes it for a way to reach us.
set(VARNHOLT_MAINTAINER "The Varnholt developers <noreply@varnholt.invalid>" CACHE STRING
    "Maintainer of the Debian package")

# Where Debian puts a game: the program in games/, its art in share/games/.
# Both are relative to the prefix, and the program looks for its art relative
# to its own folder, so an install moved elsewhere still finds it.
set(VARNHOLT_INSTALL_GAMESDIR games CACHE STRING "Program folder, relative to the prefix")
set(VARNHOLT_INSTALL_ARTDIR ${CMAKE_INSTALL_DATADIR}/games/varnholt CACHE STRING
    "Art folder, relative to the prefix")
file(RELATIVE_PATH VARNHOLT_DATA_FROM_PROGRAM /prefix/${VARNHOLT_INSTALL_GAMESDIR}
     /prefix/${VARNHOLT_INSTALL_ARTDIR})
set(VARNHOLT_ART_FULLDIR ${CMAKE_INSTALL_PREFIX}/${VARNHOLT_INSTALL_ARTDIR})
set(VARNHOLT_GAMES_FULLDIR ${CMAKE_INSTALL_PREFIX}/${VARNHOLT_INSTALL_GAMESDIR})

set(VARNHOLT_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(VARNHOLT_ICONS ${PROJECT_SOURCE_DIR}/assets/icon)
set(VARNHOLT_ICON_SIZES 16 24 32 48 64 128 256)
set(VARNHOLT_ART_FOLDERS ${PROJECT_SOURCE_DIR}/assets/Lots ${PROJECT_SOURCE_DIR}/assets/Ambiances
    ${PROJECT_SOURCE_DIR}/assets/GUI)
configure_file(${CMAKE_CURRENT_LIST_DIR}/varnholt_version.h.in
               ${VARNHOLT_GENERATED}/varnholt_version.h @ONLY)

set(CPACK_PACKAGE_NAME varnholt)
set(CPACK_PACKAGE_VENDOR "The Varnholt developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small full-screen city game")
set(CPACK_STRIP_FILES ON)

if(NOT WIN32)
  # ---- Linux: the installed files -----------------------------------------------
  configure_file(${VARNHOLT_PACKAGING}/varnholt.metainfo.xml.in
                 ${VARNHOLT_GENERATED}/${VARNHOLT_APP_ID}.metainfo.xml @ONLY)
  configure_file(${VARNHOLT_PACKAGING}/varnholt.6.in ${VARNHOLT_GENERATED}/varnholt.6 @ONLY)
  configure_file(${VARNHOLT_PACKAGING}/changelog.in ${VARNHOLT_GENERATED}/changelog @ONLY)
  # Debian keeps manual pages and changelogs compressed with gzip -9 -n (no name
  # or time stamp inside, so the package is the same at every build).
  add_custom_command(
    OUTPUT ${VARNHOLT_GENERATED}/varnholt.6.gz ${VARNHOLT_GENERATED}/changelog.gz
    COMMAND gzip -9 -n -k -f varnholt.6 changelog
    DEPENDS ${VARNHOLT_GENERATED}/varnholt.6 ${VARNHOLT_GENERATED}/changelog
    WORKING_DIRECTORY ${VARNHOLT_GENERATED}
    COMMENT "Compressing the manual page and the changelog" VERBATIM)
  add_custom_target(varnholt_documents ALL
    DEPENDS ${VARNHOLT_GENERATED}/varnholt.6.gz ${VARNHOLT_GENERATED}/changelog.gz)

  install(TARGETS varnholt RUNTIME DESTINATION ${VARNHOLT_INSTALL_GAMESDIR})
  # A stripped program also loses the compiler's notes, as Debian's own
  # packages do (dh_strip).
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VARNHOLT_INSTALL_GAMESDIR}/varnholt\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
  install(DIRECTORY ${VARNHOLT_ART_FOLDERS} DESTINATION ${VARNHOLT_INSTALL_ARTDIR})
  foreach(size IN LISTS VARNHOLT_ICON_SIZES)
    install(FILES ${VARNHOLT_ICONS}/varnholt-${size}.png RENAME varnholt.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${VARNHOLT_PACKAGING}/varnholt.desktop RENAME ${VARNHOLT_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${VARNHOLT_GENERATED}/${VARNHOLT_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${VARNHOLT_GENERATED}/varnholt.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES ${VARNHOLT_PACKAGING}/copyright ${VARNHOLT_GENERATED}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnholt)

  # ---- Linux: the Debian package ------------------------------------------------
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # varnholt_<version>_<architecture>.deb
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARNHOLT_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dependencies read from the program (dpkg-shlibdeps)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  set(CPACK_PACKAGE_DESCRIPTION
      "Varnholt shows one screen: a sidebar with the town's emblem and three\n"
      "tabs, and a scrolling view of the city, an 8 x 8 grid of lots. Every lot\n"
      "carries four ambiance values (Green against Polluting, Criminal against\n"
      "Lawful, Noisy against Quiet, Arcane against Techy), shown as small markers\n"
      "along its top edge. The game takes the whole screen.")
  string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
else()
  # ---- Windows: icon, manifest and version resources, and the zip ---------------
  # The icon has the id IDI_APPLICATION stands for (32512), so that the game's
  # LoadIconA(instance, IDI_APPLICATION) finds it in the program. The manifest
  # tells Windows the game draws in real pixels on high-DPI monitors and which
  # Windows versions it knows.
  enable_language(RC)
  set(VARNHOLT_ICO ${VARNHOLT_ICONS}/varnholt.ico)
  set(VARNHOLT_VERSION_4 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  set(VARNHOLT_MANIFEST ${VARNHOLT_GENERATED}/varnholt.manifest)
  configure_file(${VARNHOLT_PACKAGING}/windows/varnholt.manifest.in ${VARNHOLT_MANIFEST} @ONLY)
  configure_file(${VARNHOLT_PACKAGING}/windows/varnholt.rc.in ${VARNHOLT_GENERATED}/varnholt.rc
                 @ONLY)
  set_source_files_properties(${VARNHOLT_GENERATED}/varnholt.rc PROPERTIES
                              OBJECT_DEPENDS "${VARNHOLT_ICO};${VARNHOLT_MANIFEST}")
  target_sources(varnholt PRIVATE ${VARNHOLT_GENERATED}/varnholt.rc)
  # Windows' own editor wants CR LF line ends.
  configure_file(${VARNHOLT_PACKAGING}/windows/README.txt.in ${VARNHOLT_GENERATED}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${VARNHOLT_GENERATED}/LICENSE.txt
                 @ONLY NEWLINE_STYLE CRLF)

  # The game reads its art relative to its working directory: the folders go
  # beside the program, at the top of the zip. The installer
  # (tools/build_installer.sh) packs the same tree.
  install(TARGETS varnholt RUNTIME DESTINATION .)
  install(DIRECTORY ${VARNHOLT_ART_FOLDERS} DESTINATION .)
  install(FILES ${VARNHOLT_GENERATED}/README.txt ${VARNHOLT_GENERATED}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME varnholt-${PROJECT_VERSION}-windows)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()

# Where the build put its programs, one "name path" a line in programs.txt, for
# the scripts that check and play them (tools/build_windows.sh, run_wine.sh,
# check_package.sh) whatever folder of the build a program is made in.
set(_programs "varnholt $<TARGET_FILE:varnholt>\n")
if(TARGET varnholt_screenshot)
  string(APPEND _programs "varnholt_screenshot $<TARGET_FILE:varnholt_screenshot>\n")
endif()
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/programs.txt CONTENT "${_programs}")

include(CPack)
