# qvo_read_archiver_libraries(): the archiver libraries as
# src/archivers/include/qvo_archiver.h lists them (one X(...) line each), so
# the build names them from the same place as the code.  Sets
# QVO_ARCHIVER_IDS and, per id, QVO_ARCHIVER_<id>_FILE (without ".so"),
# QVO_ARCHIVER_<id>_VERSION and QVO_ARCHIVER_<id>_COMMAND in the caller.
function(qvo_read_archiver_libraries)
  set(header ${CMAKE_SOURCE_DIR}/src/archivers/include/qvo_archiver.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(READ ${header} text)
  string(REGEX MATCHALL "X\\([a-z0-9_]+, \"[^\"]+\", [A-Za-z]+, [A-Za-z]+\\)" lines "${text}")
  set(ids "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "X\\(([a-z0-9_]+), \"([^\"]+)\", ([A-Za-z]+), ([A-Za-z]+)\\)" _ "${line}")
    list(APPEND ids ${CMAKE_MATCH_1})
    set(QVO_ARCHIVER_${CMAKE_MATCH_1}_FILE ${CMAKE_MATCH_2} PARENT_SCOPE)
    set(QVO_ARCHIVER_${CMAKE_MATCH_1}_VERSION ${CMAKE_MATCH_3} PARENT_SCOPE)
    set(QVO_ARCHIVER_${CMAKE_MATCH_1}_COMMAND ${CMAKE_MATCH_4} PARENT_SCOPE)
  endforeach()
  list(LENGTH ids count)
  if(NOT count EQUAL 6)
    message(FATAL_ERROR "qvo_archiver.h lists ${count} archiver libraries, expected 6")
  endif()
  set(QVO_ARCHIVER_IDS ${ids} PARENT_SCOPE)
endfunction()
