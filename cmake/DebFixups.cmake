# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack after it has made the packages, to mend what its DEB
# generator gets wrong for this program:
# - it adds postinst and postrm scripts that only call ldconfig whenever a
#   shared library lies one folder below /usr/lib; ours are private device
#   libraries found through the program's run path, never through the
#   loader's cache, so those scripts go (anything more in them stops the
#   build rather than being dropped);
# - the md5sums of the debug symbols package name the files by their paths
#   in CPack's staging folder, so every package's list is made anew from
#   its own files;
# - the debug symbols package has no copyright or changelog; as Debian's own
#   do, its documentation folder points at the program's.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.d?deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${tree}"
                  COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    set(path "${tree}/DEBIAN/${script}")
    if(NOT EXISTS "${path}")
      continue()
    endif()
    file(READ "${path}" text)
    string(REGEX REPLACE
           "#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|ldconfig|fi|[ \t\n]"
           "" rest "${text}")
    if(NOT rest STREQUAL "")
      message(FATAL_ERROR "${script} of ${package} does more than call ldconfig:\n${text}")
    endif()
    file(REMOVE "${path}")
  endforeach()

  if(package MATCHES "-dbgsym_[^/]*\\.ddeb$")
    file(MAKE_DIRECTORY "${tree}/usr/share/doc")
    file(CREATE_LINK ${CPACK_PACKAGE_NAME} "${tree}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym"
         SYMBOLIC)
  endif()

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  list(SORT files)
  set(md5sums "")
  foreach(file IN LISTS files)
    if(NOT IS_SYMLINK "${tree}/${file}")
      file(MD5 "${tree}/${file}" sum)
      string(APPEND md5sums "${sum}  ${file}\n")
    endif()
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")

  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
