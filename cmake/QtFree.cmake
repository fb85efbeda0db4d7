# SPDX-License-Identifier: GPL-3.0-or-later
# What a build without Qt (OSTREL_QT off) keeps: the sources that include no
# Qt header, neither themselves nor through the project's own headers.

# result: ON when file includes a Qt or QCustomPlot header, directly or
# through a header of the project or of the tests' support, or includes a
# header whose own source file does (it could not be linked).
function(ostrel_needs_qt file result)
  get_property(known GLOBAL PROPERTY "ostrel_needs_qt:${file}" SET)
  if(known)
    get_property(needs GLOBAL PROPERTY "ostrel_needs_qt:${file}")
    set(${result} ${needs} PARENT_SCOPE)
    return()
  endif()
  # Seen: a header that includes itself back ends here.
  set_property(GLOBAL PROPERTY "ostrel_needs_qt:${file}" OFF)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  set(needs OFF)
  foreach(line ${includes})
    if(line MATCHES "<(Q|qcustomplot)")
      set(needs ON)
    elseif(line MATCHES "\"([^\"]+)\"")
      set(header ${CMAKE_MATCH_1})
      foreach(base ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
        if(EXISTS ${base}/${header})
          ostrel_needs_qt(${base}/${header} needs)
          string(REGEX REPLACE "\\.h$" ".cpp" source ${base}/${header})
          if(NOT needs AND EXISTS ${source})
            ostrel_needs_qt(${source} needs)
          endif()
          break()
        endif()
      endforeach()
    endif()
    if(needs)
      break()
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY "ostrel_needs_qt:${file}" ${needs})
  set(${result} ${needs} PARENT_SCOPE)
endfunction()

# Drops from the list variable the sources that need Qt.
function(ostrel_qt_free_sources variable)
  set(kept "")
  foreach(source ${${variable}})
    ostrel_needs_qt(${source} needs)
    if(NOT needs)
      list(APPEND kept ${source})
    endif()
  endforeach()
  set(${variable} ${kept} PARENT_SCOPE)
endfunction()

# Drops from the list variable the targets that this build does not have.
function(ostrel_existing_targets variable)
  set(kept "")
  foreach(item ${${variable}})
    if(TARGET ${item} OR NOT item MATCHES "::|^ostrel_")
      list(APPEND kept ${item})
    endif()
  endforeach()
  set(${variable} ${kept} PARENT_SCOPE)
endfunction()
