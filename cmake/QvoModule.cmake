# qvo_module(NAME [QT] [FLAT] [DEPS ...]): a static library made of every
# source file in the calling folder (recursively, or only the folder itself
# with FLAT, when its subfolders are modules of their own), with the modules
# and libraries it may use.  Modules own their folders, so adding a file needs no edit of
# a shared list; scripts/check_layers.py checks that the includes of each
# folder stay within the layers below it.  QT runs moc on the module's
# headers (window classes).
function(qvo_module name)
  cmake_parse_arguments(M "QT;FLAT" "" "DEPS" ${ARGN})
  if(M_FLAT)
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  else()
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  endif()
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${M_DEPS})
  else()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${M_DEPS})
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
