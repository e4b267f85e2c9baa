# Install-time half of the per-user install (run by `cmake --install`, see Packaging.cmake).
#
# Inputs, set by the install rule: VEL_IN_PROGRAMS, VEL_IN_LIBRARY (libvbmp3, its tag
# plug-in and velfetch's picture plug-in), VEL_IN_HELP, VEL_IN_DESKTOP, VEL_IN_SVG, VEL_IN_ICON_ROOT, VEL_IN_ICON_SIZES,
# VEL_IN_PNG_ICONS; CMAKE_INSTALL_PREFIX.
#
# Every file and every folder this creates is listed in the application folder's
# .install-manifest, which UserUninstall.cmake reads to remove exactly those again.
include("${CMAKE_CURRENT_LIST_DIR}/UserDirs.cmake")
vel_user_dirs("${CMAKE_INSTALL_PREFIX}")
set(root "$ENV{DESTDIR}")

set(targets "${VEL_APP_DIR}" "${VEL_BIN_DIR}" "${VEL_APPLICATIONS_DIR}" "${VEL_ICONS_DIR}")
foreach(dir IN LISTS targets)
  if(dir MATCHES "[\n\t]")
    message(FATAL_ERROR "velmora: refusing to install into a folder whose name holds a line break or tab")
  endif()
endforeach()

# The application folder must stay writable for the user who runs velplay: the cover
# fetcher writes its hand-off files there. So this is a per-user install only.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
function(vel_refuse why)
  message(FATAL_ERROR
    "velmora: install refused: ${why}\n"
    "  Velmora installs per user: its application folder (${VEL_APP_DIR}) must stay\n"
    "  writable for the user who runs velplay, because the cover search writes there.\n"
    "  Run `make install` as that user (without sudo); it installs under ~/.local.\n"
    "  For a system-wide install, build the Debian package with `make deb`.")
endfunction()
foreach(dir IN LISTS targets)
  set(probe "${root}${dir}")
  while(NOT EXISTS "${probe}")
    cmake_path(GET probe PARENT_PATH probe)
  endwhile()
  if(NOT IS_DIRECTORY "${probe}")
    vel_refuse("${probe} is not a folder")
  endif()
  execute_process(COMMAND test -w "${probe}" RESULT_VARIABLE not_writable)
  if(not_writable)
    vel_refuse("${probe} is read-only for you")
  endif()
  if(uid STREQUAL "0" AND root STREQUAL "")
    # root may write anywhere; only its own home (or its own XDG data folder) is a
    # per-user install.
    cmake_path(IS_PREFIX VEL_HOME "${dir}" NORMALIZE under_home)
    if(VEL_DATA_FROM_XDG AND NOT under_home)
      cmake_path(IS_PREFIX VEL_DATA_DIR "${dir}" NORMALIZE under_home)
    endif()
    execute_process(COMMAND stat -c %u "${probe}" OUTPUT_VARIABLE owner OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT under_home)
      vel_refuse("${dir} is a system-wide folder, and users could not write to it")
    elseif(NOT owner STREQUAL "0")
      vel_refuse("${probe} belongs to another user; files installed by root there would be read-only for them")
    endif()
  endif()
endforeach()

# What an earlier install left: reinstalling keeps its list, so that uninstall still
# removes the folders that the first install created.
set(old_files)
set(old_dirs)
if(EXISTS "${root}${VEL_MANIFEST}")
  file(STRINGS "${root}${VEL_MANIFEST}" lines)
  foreach(line IN LISTS lines)
    if(line MATCHES "^file\t(.+)$")
      list(APPEND old_files "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^dir\t(.+)$")
      list(APPEND old_dirs "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

# Folders that do not exist yet, deepest first when they are removed later.
set(new_dirs)
function(vel_note_missing_dirs dir)
  set(d "${dir}")
  set(found "${new_dirs}")
  while(NOT EXISTS "${root}${d}")
    list(APPEND found "${d}")
    cmake_path(GET d PARENT_PATH d)
  endwhile()
  set(new_dirs "${found}" PARENT_SCOPE)
endfunction()

set(files)
macro(vel_install_files dest type)
  vel_note_missing_dirs("${dest}")
  file(INSTALL DESTINATION "${dest}" TYPE ${type} FILES ${ARGN})
  foreach(f IN ITEMS ${ARGN})
    cmake_path(GET f FILENAME name)
    list(APPEND files "${dest}/${name}")
  endforeach()
endmacro()

vel_install_files("${VEL_APP_DIR}" EXECUTABLE ${VEL_IN_PROGRAMS})
vel_install_files("${VEL_APP_DIR}" SHARED_LIBRARY ${VEL_IN_LIBRARY})
if(VEL_IN_HELP AND EXISTS "${VEL_IN_HELP}")
  vel_install_files("${VEL_APP_DIR}" FILE "${VEL_IN_HELP}")
endif()
vel_install_files("${VEL_APPLICATIONS_DIR}" FILE "${VEL_IN_DESKTOP}")
vel_install_files("${VEL_ICONS_DIR}/scalable/apps" FILE "${VEL_IN_SVG}")
if(VEL_IN_PNG_ICONS)
  foreach(size IN LISTS VEL_IN_ICON_SIZES)
    vel_install_files("${VEL_ICONS_DIR}/${size}x${size}/apps" FILE
                      "${VEL_IN_ICON_ROOT}/${size}x${size}/apps/velplay.png")
  endforeach()
endif()

# The launcher on PATH runs the program in its application folder, where it finds
# velfetch, libvbmp3.so and the help file next to itself.
vel_note_missing_dirs("${VEL_BIN_DIR}")
string(REPLACE "'" "'\\''" quoted "${VEL_APP_DIR}/velplay")
set(launcher "${VEL_BIN_DIR}/velplay")
message(STATUS "Installing: ${root}${launcher}")
file(WRITE "${root}${launcher}"
  "#!/bin/sh\n"
  "# Starts Velmora from its application folder; written by `make install`.\n"
  "exec '${quoted}' \"$@\"\n")
file(CHMOD "${root}${launcher}" PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
list(APPEND files "${launcher}")

list(APPEND files "${VEL_MANIFEST}")
set(all_files ${old_files} ${files})
list(REMOVE_DUPLICATES all_files)
set(all_dirs ${old_dirs} ${new_dirs})
list(REMOVE_DUPLICATES all_dirs)
set(text "")
foreach(f IN LISTS all_files)
  string(APPEND text "file\t${f}\n")
endforeach()
foreach(d IN LISTS all_dirs)
  string(APPEND text "dir\t${d}\n")
endforeach()
file(WRITE "${root}${VEL_MANIFEST}" "${text}")
foreach(f IN LISTS files)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}${f}")
endforeach()
list(REMOVE_DUPLICATES CMAKE_INSTALL_MANIFEST_FILES)

message(STATUS "velmora: installed; application folder ${VEL_APP_DIR}")
set(on_path FALSE)
string(REPLACE ":" ";" path_dirs "$ENV{PATH}")
foreach(p IN LISTS path_dirs)
  if(p STREQUAL VEL_BIN_DIR)
    set(on_path TRUE)
  endif()
endforeach()
if(NOT on_path)
  message(STATUS "velmora: note: ${VEL_BIN_DIR} is not on your PATH yet; the desktop entry "
                 "starts `velplay` from there (Debian adds ~/.local/bin at the next login "
                 "once the folder exists).")
endif()
