# `make deb`: a Debian package of this build, made by CPack's DEB generator from
# the install rules of the component "deb" below. Those rules are left out of
# `cmake --install` (EXCLUDE_FROM_ALL), so the per-user install stays as it is.
#
#   /usr/bin/velplay                      symlink into the application folder; the
#                                         player finds its folder through /proc/self/exe,
#                                         which names the link's target
#   /usr/lib/<triplet>/velmora/           velplay, velfetch, libvbmp3.so, libvbmp3tags.so,
#                                         libvelpictures.so, velplay.chm
#   /usr/share/applications, icons, metainfo, man/man1, doc/velmora
#
# A system install's application folder is read-only for users, so the hand-off
# files go to each user's own folder (common/HandoffFolder.h).
set(VEL_DEB_TRIPLET "${CMAKE_LIBRARY_ARCHITECTURE}")
if(NOT VEL_DEB_TRIPLET)
  execute_process(COMMAND dpkg-architecture -qDEB_HOST_MULTIARCH
                  OUTPUT_VARIABLE VEL_DEB_TRIPLET OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(VEL_SANITIZE OR VEL_FUZZ)
  return() # packages come from plain builds only
endif()
if(NOT VEL_DEB_TRIPLET OR NOT VEL_MAN_PAGES)
  message(STATUS "velmora: `make deb` is unavailable (needs a Debian system and scdoc)")
  return()
endif()
set(VEL_DEB_APP_DIR "/usr/lib/${VEL_DEB_TRIPLET}/velmora")
set(app "lib/${VEL_DEB_TRIPLET}/velmora")
set(deb_out "${CMAKE_BINARY_DIR}/packaging/deb")

install(TARGETS velplay velfetch RUNTIME DESTINATION ${app} COMPONENT deb EXCLUDE_FROM_ALL)
install(TARGETS vbmp3 vbmp3tags velpictures LIBRARY DESTINATION ${app} COMPONENT deb EXCLUDE_FROM_ALL)
if(VEL_HAVE_HELP)
  install(FILES ${VEL_HELP_CHM} DESTINATION ${app} COMPONENT deb EXCLUDE_FROM_ALL)
endif()
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(CREATE_LINK \"../${app}/velplay\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/velplay\" SYMBOLIC)
" COMPONENT deb EXCLUDE_FROM_ALL)

install(FILES ${VEL_DESKTOP_FILE} DESTINATION share/applications COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${VEL_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps COMPONENT deb EXCLUDE_FROM_ALL)
if(VEL_HAVE_PNG_ICONS)
  foreach(size IN LISTS VEL_ICON_SIZES)
    install(FILES ${VEL_ICON_ROOT}/${size}x${size}/apps/velplay.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT deb EXCLUDE_FROM_ALL)
  endforeach()
endif()
install(FILES ${VEL_METAINFO_FILE} DESTINATION share/metainfo COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${VEL_MAN_PAGES} DESTINATION share/man/man1 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright ${deb_out}/changelog.gz
        DESTINATION share/doc/velmora COMPONENT deb EXCLUDE_FROM_ALL)

# Debian wants its documentation compressed without a time stamp.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
add_custom_command(
  OUTPUT ${deb_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${deb_out}
  COMMAND ${GZIP_EXECUTABLE} -9n -c ${PROJECT_SOURCE_DIR}/packaging/deb/changelog > ${deb_out}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/deb/changelog
  VERBATIM)
add_custom_target(deb_docs ALL DEPENDS ${deb_out}/changelog.gz)
configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/prerm.in ${deb_out}/prerm @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

# SDL2 is opened at run time; its dependency is computed at packaging time.
add_library(vel_sdl_probe SHARED ${PROJECT_SOURCE_DIR}/packaging/deb/sdl_probe.c)
target_link_libraries(vel_sdl_probe PRIVATE PkgConfig::SDL2)
target_link_options(vel_sdl_probe PRIVATE -nostdlib -Wl,--no-as-needed)
set_target_properties(vel_sdl_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${deb_out})
add_dependencies(deb_docs vel_sdl_probe)
set(VEL_DEB_OUT ${deb_out})
set(VEL_SDL_PROBE ${deb_out}/libvel_sdl_probe.so)
configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/CPackDepends.cmake.in ${deb_out}/CPackDepends.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${deb_out}/CPackDepends.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmora developers <maintainers@velmora.example.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MP3 player that shows the album cover")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora is a small MP3 player with a Japanese user interface. It plays one
file at a time, shows the artist and title from the file's tag, and has a
clickable progress bar, a volume bar moved by the mouse wheel and an ID3v1
tag editor. For every track its helper velfetch looks the album up online;
the player fades the cover in, and a double-click on the cover opens the
album's store page.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Not shared libraries, so not found by dpkg-shlibdeps: Qt's platform plug-ins
# (X11, and Wayland for a native window there), its SVG icon plug-in, Qt's own
# translations, and what opens the help file and web pages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-wayland, libqt6svg6, qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.example.jp/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Velmora;deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${deb_out}/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
set(CPACK_THREADS 2)
include(CPack)
