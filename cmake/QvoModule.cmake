# qvo_layer_modules(OUT): the modules of the layers that the calling folder's
# layer may use, from its line of src/layers.txt (the same table
# scripts/check_layers.py checks the includes against).  A folder's layer is
# its first folder below src/ (archivers/include is one of its own); a
# layer's module is qvo_<layer>.
function(qvo_layer_modules out)
  set(table ${CMAKE_SOURCE_DIR}/src/layers.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  if(rel MATCHES "^archivers/include(/|$)")
    set(layer archivers/include)
  else()
    string(REGEX REPLACE "/.*" "" layer "${rel}")
  endif()
  file(STRINGS ${table} lines)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(REGEX REPLACE "[ \t]+" ";" words "${line}")
    list(REMOVE_ITEM words "")
    if(NOT words)
      continue()
    endif()
    list(POP_FRONT words name)
    if(name STREQUAL layer)
      set(modules "")
      foreach(used IN LISTS words)
        if(used STREQUAL "archivers/include")
          list(APPEND modules qvo_archiver_interface)
        else()
          list(APPEND modules qvo_${used})
        endif()
      endforeach()
      set(${out} ${modules} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "src/${rel}: layer '${layer}' has no line in src/layers.txt")
endfunction()

# qvo_module(NAME [QT] [FLAT] [DEPS ...]): a static library made of every
# source file in the calling folder (recursively, or only the folder itself
# with FLAT, when its subfolders are modules of their own), linked to the
# modules of the layers below it (qvo_layer_modules) and to DEPS: outside
# libraries and modules of its own layer.  Modules own their folders, so
# adding a file needs no edit of a shared list; scripts/check_layers.py
# checks that the includes of each folder stay within its layer's line.
# QT runs moc on the module's headers (window classes).
function(qvo_module name)
  cmake_parse_arguments(M "QT;FLAT" "" "DEPS" ${ARGN})
  qvo_layer_modules(layer_modules)
  if(M_FLAT)
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  else()
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  endif()
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${layer_modules} ${M_DEPS})
  else()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${layer_modules} ${M_DEPS})
    if(M_QT)
      file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
      target_sources(${name} PRIVATE ${hdrs})
      set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    endif()
  endif()
endfunction()

# qvo_test(NAME [QT_APPLICATION] [DEPS ...]): one GoogleTest executable of
# every test source in the calling folder, registered with CTest.
# QT_APPLICATION adds the shared offscreen QApplication environment.
function(qvo_test name)
  cmake_parse_arguments(T "QT_APPLICATION" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  if(T_QT_APPLICATION)
    list(APPEND srcs ${CMAKE_SOURCE_DIR}/tests/qt_environment.cpp)
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    QVO_CORPUS_DIR="${QVO_CORPUS_DIR}"
    QVO_LIBRARY_DIR="${QVO_LIBRARY_OUTPUT_DIR}"
    QVO_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    QVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
