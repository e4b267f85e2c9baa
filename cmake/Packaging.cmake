# Demo track, help file, icons and desktop entry, the per-user install and the
# Debian package.
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${CMAKE_BINARY_DIR}/packaging)
add_subdirectory(${PROJECT_SOURCE_DIR}/help ${CMAKE_BINARY_DIR}/help)
add_subdirectory(${PROJECT_SOURCE_DIR}/tools/demo ${CMAKE_BINARY_DIR}/tools/demo)

# `cmake --install` without --prefix installs for the current user, never system-wide.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix (per user)" FORCE)
endif()

# The folders are chosen at install time (from HOME, XDG_DATA_HOME and the prefix),
# so that one build can be installed for whoever runs the install.
install(CODE "
  set(VEL_IN_PROGRAMS \"$<TARGET_FILE:velplay>;$<TARGET_FILE:velfetch>\")
  set(VEL_IN_LIBRARY \"$<TARGET_FILE:vbmp3>;$<TARGET_FILE:vbmp3tags>;$<TARGET_FILE:velpictures>\")
  set(VEL_IN_HELP \"$<$<BOOL:${VEL_HAVE_HELP}>:${VEL_HELP_CHM}>\")
  set(VEL_IN_DESKTOP \"${VEL_DESKTOP_FILE}\")
  set(VEL_IN_SVG \"${VEL_ICON_SVG}\")
  set(VEL_IN_ICON_ROOT \"${VEL_ICON_ROOT}\")
  set(VEL_IN_ICON_SIZES \"${VEL_ICON_SIZES}\")
  set(VEL_IN_PNG_ICONS ${VEL_HAVE_PNG_ICONS})
  include(\"${CMAKE_CURRENT_LIST_DIR}/UserInstall.cmake\")
")

include(${CMAKE_CURRENT_LIST_DIR}/DebPackage.cmake)
