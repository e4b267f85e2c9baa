# Where a per-user install puts things; shared by the install and the uninstall script.
#
# With the prefix ~/.local (the default) the folders follow the XDG base directories:
#   application folder   ${XDG_DATA_HOME:-~/.local/share}/velmora
#   launcher             ~/.local/bin/velplay
#   desktop entry        ${XDG_DATA_HOME:-~/.local/share}/applications/velplay.desktop
#   icons                ${XDG_DATA_HOME:-~/.local/share}/icons/hicolor/...
# Any other prefix P uses P/bin and P/share.
function(vel_user_dirs prefix)
  set(home "$ENV{HOME}")
  if(home STREQUAL "" OR NOT IS_ABSOLUTE "${home}")
    message(FATAL_ERROR "velmora: HOME is not set to an absolute folder; cannot tell where to install.")
  endif()
  if(prefix STREQUAL "")
    set(prefix "${home}/.local")
  endif()
  cmake_path(NORMAL_PATH prefix)
  string(REGEX REPLACE "(.)/+$" "\\1" prefix "${prefix}")
  set(user_prefix "${home}/.local")
  cmake_path(NORMAL_PATH user_prefix)

  set(data "${prefix}/share")
  set(from_xdg FALSE)
  if(prefix STREQUAL user_prefix AND IS_ABSOLUTE "$ENV{XDG_DATA_HOME}")
    set(data "$ENV{XDG_DATA_HOME}")
    cmake_path(NORMAL_PATH data)
    string(REGEX REPLACE "(.)/+$" "\\1" data "${data}")
    set(from_xdg TRUE)
  endif()

  set(VEL_HOME "${home}" PARENT_SCOPE)
  set(VEL_PREFIX "${prefix}" PARENT_SCOPE)
  set(VEL_DATA_DIR "${data}" PARENT_SCOPE)
  set(VEL_DATA_FROM_XDG ${from_xdg} PARENT_SCOPE)
  set(VEL_BIN_DIR "${prefix}/bin" PARENT_SCOPE)
  set(VEL_APP_DIR "${data}/velmora" PARENT_SCOPE)
  set(VEL_APPLICATIONS_DIR "${data}/applications" PARENT_SCOPE)
  set(VEL_ICONS_DIR "${data}/icons/hicolor" PARENT_SCOPE)
  set(VEL_MANIFEST "${data}/velmora/.install-manifest" PARENT_SCOPE)
endfunction()
