# What `cmake --install` puts under the prefix: the programs, the trend window's plugin, the menu entry,
# the icon, the AppStream metadata, the manual pages, orvikctl's bash completion and the copyright. Test
# programs and tools stay in the build tree.
include(GNUInstallDirs)

set(orvik_programs orvik-monitor orvikctl)
if(TARGET orvik-sim)
  list(APPEND orvik_programs orvik-sim)
endif()
install(TARGETS ${orvik_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The trend window's plugin, where the monitor looks for it beside its own folder.
install(TARGETS orvik-trend LIBRARY DESTINATION ${ORVIK_TREND_PLUGIN_DIR})

if(UNIX AND NOT APPLE)
  set(data ${PROJECT_SOURCE_DIR}/data)
  install(FILES ${data}/${ORVIK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${data}/${ORVIK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${data}/icons/${ORVIK_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${data}/icons/${size}x${size}/${ORVIK_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  # Manual pages, compressed as Debian wants them (-n: no name or time stamp, so builds repeat).
  find_program(GZIP_PROGRAM gzip REQUIRED)
  set(pages)
  foreach(program ${orvik_programs})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                       COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_SOURCE_DIR}/doc/${program}.1 > ${page}
                       DEPENDS ${PROJECT_SOURCE_DIR}/doc/${program}.1
                       VERBATIM)
    list(APPEND pages ${page})
  endforeach()
  add_custom_target(orvik_manual_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
                     COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_SOURCE_DIR}/doc/changelog > ${changelog}
                     DEPENDS ${PROJECT_SOURCE_DIR}/doc/changelog
                     VERBATIM)
  add_custom_target(orvik_changelog ALL DEPENDS ${changelog})
  install(FILES ${PROJECT_SOURCE_DIR}/doc/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvik-monitor)
endif()

# Loaded by bash-completion on demand, the first time `orvikctl` is completed.
if(UNIX)
  install(FILES ${PROJECT_SOURCE_DIR}/data/orvikctl.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME orvikctl)
endif()
