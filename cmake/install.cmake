# Installation and the Debian package. Plug-ins go to lib/zell/plugins, not
# the multiarch libdir: the programs find them relative to bin/, whatever the
# distribution calls its library folder.
include(GNUInstallDirs)

install(TARGETS zell zell-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Every plug-in module that plugins/ defines, so a new one ships without an edit here.
get_property(zell_plugin_targets DIRECTORY ${PROJECT_SOURCE_DIR}/plugins PROPERTY BUILDSYSTEM_TARGETS)
list(FILTER zell_plugin_targets INCLUDE REGEX "^zell_plugin_")
install(TARGETS ${zell_plugin_targets} LIBRARY DESTINATION lib/zell/plugins)
# The clip decoders, found the same way (see the engine's clip loader).
install(TARGETS zell_clips LIBRARY DESTINATION lib/zell)
install(FILES ${PROJECT_SOURCE_DIR}/include/zell/transition_plugin.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zell)

install(FILES ${PROJECT_SOURCE_DIR}/data/zell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/zell-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME zell.xml)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/zell.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/zell-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zell.png)
endforeach()

# Shell completion where bash-completion and zsh look for it by the command's name.
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/zell-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/_zell-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

# Man pages and the changelog go in compressed, as Debian policy asks;
# gzip -n keeps the bytes free of the build's time.
find_program(GZIP gzip REQUIRED)
set(ZELL_VERSION ${PROJECT_VERSION})
set(zell_gzipped)
function(zell_gzip source gz)
  add_custom_command(OUTPUT ${gz} COMMAND ${GZIP} -9n -c ${source} > ${gz} DEPENDS ${source} VERBATIM)
  set(zell_gzipped ${zell_gzipped} ${gz} PARENT_SCOPE)
endfunction()
foreach(page zell.1 zell-cli.1)
  configure_file(${PROJECT_SOURCE_DIR}/doc/${page} ${PROJECT_BINARY_DIR}/${page} @ONLY)
  zell_gzip(${PROJECT_BINARY_DIR}/${page} ${PROJECT_BINARY_DIR}/${page}.gz)
  install(FILES ${PROJECT_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/data/package/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
zell_gzip(${PROJECT_BINARY_DIR}/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_target(zell_compressed_docs ALL DEPENDS ${zell_gzipped})
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/data/package/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zell)
# The manual in English (index.html) and Japanese (index.ja.html); the
# program opens the one of its interface language. A program run from the
# build folder opens the copies in doc/.
foreach(suffix "" .ja)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/manual${suffix}.html
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zell RENAME index${suffix}.html)
  configure_file(${PROJECT_SOURCE_DIR}/doc/manual${suffix}.html ${PROJECT_BINARY_DIR}/doc/index${suffix}.html COPYONLY)
endforeach()

# cpack -G DEB from the build folder. Dependencies come from the binaries
# (dpkg-shlibdeps); the desktop's caches are refreshed by the triggers of
# desktop-file-utils, shared-mime-info and the icon theme, so no scripts.
set(CPACK_PACKAGE_NAME zell)
set(CPACK_PACKAGE_VENDOR "zell")
set(CPACK_PACKAGE_CONTACT "${ZELL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated GIF authoring program")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "zell gathers still images and the frames of existing GIFs into a\nframe list, edits every frame attribute, plays the animation back,\noptimizes it, unifies palettes, inserts screen transitions and writes\none animated GIF. zell-cli does the same from the command line.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zell)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own buttons and dialogs in the program's language; dpkg-shlibdeps
# cannot see it, so it is named here and the libraries are added to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
