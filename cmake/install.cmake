# cmake --install: the tools and a launcher in bin/, the package folder
# (corvash with the device programs, Havlok.dll and readme.doc beside it) in
# lib/corvash/, a desktop entry that starts corvash in that folder, where it
# finds its companions, with the program's icon, the AppStream metainfo, a
# man page per program and the package's copyright and changelog.
# cmake/package.cmake makes the Debian package of the same files.
include(GNUInstallDirs)
# lib/corvash on every system: the folder holds programs that corvash expects
# beside itself, not libraries of the platform's library folder.
set(CORVASH_PACKAGE_DIR lib/corvash)
set(CORVASH_INSTALL_SOURCES ${PROJECT_SOURCE_DIR}/cmake/install)
# The component's AppStream id, also the metainfo file's name.
set(CORVASH_APPSTREAM_ID org.corvash.Corvash)

# The man pages of the programs that this build makes, gzipped as Debian
# keeps them; the flasher's page joins when both it and its source exist.
function(corvash_install_man_pages)
  set(pages)
  set(links)
  foreach(program corvash nbf k5210-emu corvash-flash)
    set(source ${CORVASH_INSTALL_SOURCES}/man/${program}.1)
    if(TARGET ${program} AND EXISTS ${source})
      set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
      add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND sh -c "gzip -9n -c \"$0\" >\"$1\"" ${source} ${page}
        DEPENDS ${source} VERBATIM)
      list(APPEND pages ${page})
    endif()
  endforeach()
  # The sync software's stand-ins, which k5210-emu starts, share its page.
  foreach(program wcescomm_exe wcesmgr_exe)
    if(TARGET ${program} AND TARGET k5210-emu)
      get_target_property(name ${program} OUTPUT_NAME)
      file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
      file(CREATE_LINK k5210-emu.1.gz ${PROJECT_BINARY_DIR}/man/${name}.1.gz SYMBOLIC)
      list(APPEND links ${PROJECT_BINARY_DIR}/man/${name}.1.gz)
    endif()
  endforeach()
  add_custom_target(corvash_man_pages ALL DEPENDS ${pages})
  install(FILES ${pages} ${links} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# Copyright, and the changelog of this version, gzipped, in the package's
# doc folder.
function(corvash_install_docs)
  set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND sh -c "gzip -9n -c \"$0\" >\"$1\"" ${CORVASH_INSTALL_SOURCES}/changelog ${changelog}
    DEPENDS ${CORVASH_INSTALL_SOURCES}/changelog VERBATIM)
  add_custom_target(corvash_changelog ALL DEPENDS ${changelog})
  install(FILES ${CORVASH_INSTALL_SOURCES}/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvash)
endfunction()

function(corvash_install)
  foreach(program k5210-emu nbf wcescomm_exe wcesmgr_exe corvash-flash)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  if(NOT TARGET corvash)
    return()
  endif()
  get_property(companions GLOBAL PROPERTY CORVASH_PACKAGE_TARGETS)
  get_property(readme GLOBAL PROPERTY CORVASH_README_DOC)
  install(TARGETS corvash ${companions} RUNTIME DESTINATION ${CORVASH_PACKAGE_DIR}
          LIBRARY DESTINATION ${CORVASH_PACKAGE_DIR})
  install(FILES ${readme} DESTINATION ${CORVASH_PACKAGE_DIR})
  # `corvash` on the PATH starts the wizard in its package folder.
  install(PROGRAMS ${CORVASH_INSTALL_SOURCES}/corvash-launcher.sh DESTINATION ${CMAKE_INSTALL_BINDIR}
          RENAME corvash)

  # The entry names the package folder by its absolute path, known only when
  # installing (cmake --install --prefix may move it).
  install(CODE "
    set(CORVASH_PACKAGE_DIR \"\${CMAKE_INSTALL_PREFIX}/${CORVASH_PACKAGE_DIR}\")
    configure_file(${CORVASH_INSTALL_SOURCES}/corvash.desktop.in
                   \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/corvash.desktop\" @ONLY)
    message(STATUS \"Installing: \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/corvash.desktop\")")
  if(TARGET corvash_icon_png)
    set(icon ${PROJECT_BINARY_DIR}/corvash.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND corvash_icon_png ${PROJECT_SOURCE_DIR}/desktop/resources/bitmaps/150.ico ${icon}
      DEPENDS corvash_icon_png ${PROJECT_SOURCE_DIR}/desktop/resources/bitmaps/150.ico
      COMMENT "Icon 150 as a PNG for the desktop entry" VERBATIM)
    add_custom_target(corvash_icon ALL DEPENDS ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
  endif()
  configure_file(${CORVASH_INSTALL_SOURCES}/corvash.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/${CORVASH_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${CORVASH_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  corvash_install_man_pages()
  corvash_install_docs()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL corvash_install)

include(${PROJECT_SOURCE_DIR}/cmake/package.cmake)
