# install.cmake -- what `cmake --install` puts where: the programs, their manual
# pages, the menu entry, icons, AppStream metainfo, README, copyright and changelog. Nothing
# else: no tests, benchmarks, libraries or headers.
include(GNUInstallDirs)

# The reverse-DNS name the desktop entry, the icons and the metainfo share.
set(QUORVEX_APP_ID io.github.quorvex.quorvex)

# The manual pages carry the project's version; gzip -n leaves out the time
# stamp, so the pages are the same bytes on every build.
if(NOT WIN32)
  find_program(QUORVEX_GZIP gzip REQUIRED)
  set(quorvex_man_files)
  foreach(page quorvex.1 quorvex-capture.1)
    configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
      COMMAND ${QUORVEX_GZIP} -9 -n -k -f ${PROJECT_BINARY_DIR}/man/${page}
      DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.in
      COMMENT "Compressing the manual page ${page}" VERBATIM)
    list(APPEND quorvex_man_files ${PROJECT_BINARY_DIR}/man/${page}.gz)
  endforeach()
  # The release history, in the form Debian's tools read.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/doc/changelog COPYONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog.gz
    COMMAND ${QUORVEX_GZIP} -9 -n -k -f ${PROJECT_BINARY_DIR}/doc/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    COMMENT "Compressing the changelog" VERBATIM)
  add_custom_target(quorvex_docs ALL DEPENDS ${quorvex_man_files} ${PROJECT_BINARY_DIR}/doc/changelog.gz)
  # The X screensaver runs its hacks from its own folder: there the demo is a
  # relative link to the installed program, which takes the saver's window.
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/xscreensaver)
  file(CREATE_LINK ../../bin/quorvex ${PROJECT_BINARY_DIR}/xscreensaver/quorvex SYMBOLIC)
endif()

# The programs are made further down the top-level file than this one is
# included, so their rules are set once it has been read to the end.
function(quorvex_install_rules)
  if(WIN32)
    # The zip's layout: the program and its two documents side by side, and the
    # program once more as the screensaver (Windows runs a .scr with /s, /p or /c).
    # Copied from the installed, stripped exe, so the two are the same bytes.
    install(TARGETS quorvex RUNTIME DESTINATION .)
    install(CODE [[
      file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}" TYPE PROGRAM RENAME quorvex.scr
           FILES "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/quorvex.exe")
    ]])
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
    return()
  endif()

  install(TARGETS quorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET quorvex-capture)
    install(TARGETS quorvex-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  install(FILES ${quorvex_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Debian's xscreensaver looks for hacks in /usr/libexec/xscreensaver and for
  # their settings in /usr/share/xscreensaver/config.
  install(FILES ${PROJECT_BINARY_DIR}/xscreensaver/quorvex
          DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvex.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

  set(packaging ${PROJECT_SOURCE_DIR}/packaging)
  install(FILES ${packaging}/${QUORVEX_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${packaging}/${QUORVEX_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 48 128 256)
    install(FILES ${packaging}/icons/quorvex-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${QUORVEX_APP_ID}.png)
  endforeach()
  # The source tree's README speaks of build folders and pictures that are not
  # installed; the installed one speaks only of what is.
  install(FILES ${packaging}/README.installed DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.md)
  install(FILES ${packaging}/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL quorvex_install_rules)
