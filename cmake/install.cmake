# cmake --install: the tools in bin/, the package folder (corvash with the
# device programs, Havlok.dll and readme.doc beside it) in lib/corvash/, and a
# desktop entry that starts corvash in that folder, where it finds its
# companions, with the program's icon.
include(GNUInstallDirs)
set(CORVASH_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/corvash)

function(corvash_install)
  foreach(program k5210-emu nbf wcescomm_exe wcesmgr_exe)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  if(NOT TARGET corvash)
    return()
  endif()
  get_property(companions GLOBAL PROPERTY CORVASH_PACKAGE_TARGETS)
  get_property(readme GLOBAL PROPERTY CORVASH_README_DOC)
  install(TARGETS corvash RUNTIME DESTINATION ${CORVASH_PACKAGE_DIR})
  foreach(target ${companions})
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${CORVASH_PACKAGE_DIR}
            PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endforeach()
  install(FILES ${readme} DESTINATION ${CORVASH_PACKAGE_DIR})

  # The entry names the package folder by its absolute path, known only when
  # installing (cmake --install --prefix may move it).
  install(CODE "
    set(CORVASH_PACKAGE_DIR \"\${CMAKE_INSTALL_PREFIX}/${CORVASH_PACKAGE_DIR}\")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/install/corvash.desktop.in
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
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL corvash_install)
