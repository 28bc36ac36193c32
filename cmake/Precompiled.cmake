# Precompiled headers. The sources of every kind of target include the same
# Qt, GoogleTest and standard headers; each kind parses them once, in a host
# target of its own, and every target of the kind reuses what the host made
# (the compile options of a kind are the same throughout, which reuse needs).
# Only library headers go in: a source still reaches the program's own
# headers by its areas alone.
option(NUMORA_PCH "Precompile the headers most sources include" ON)

set(NUMORA_PCH_CORE <algorithm> <array> <cstdint> <cstring> <functional> <map> <memory> <optional> <stdexcept>
    <string> <string_view> <utility> <vector> <QByteArray> <QDir> <QFile> <QFileInfo> <QLoggingCategory> <QObject>
    <QString> <QStringList>)
set(NUMORA_PCH_WIDGETS ${NUMORA_PCH_CORE} <QApplication> <QComboBox> <QLabel> <QLineEdit> <QMainWindow> <QMenu>
    <QPainter> <QPointer> <QTimer> <QToolButton> <QWidget>)
set(NUMORA_PCH_TEST ${NUMORA_PCH_WIDGETS} <gtest/gtest.h> <gmock/gmock.h> <QTest>)

# numora_pch_host(KIND): the host of a kind's headers, once every target it
# mirrors exists (core and widgets libraries, test programs).
function(numora_pch_host kind)
  if(NOT NUMORA_PCH)
    return()
  endif()
  set(source ${CMAKE_BINARY_DIR}/pch/${kind}.cpp)
  file(WRITE ${source} "// The host of the precompiled headers of its kind.\n")
  string(TOUPPER ${kind} KIND)
  if(kind STREQUAL "test")
    add_executable(numora_pch_${kind} EXCLUDE_FROM_ALL ${source})
    target_link_libraries(numora_pch_${kind} PRIVATE ${ARGN} GTest::gtest_main)
  else()
    add_library(numora_pch_${kind} STATIC EXCLUDE_FROM_ALL ${source})
    target_link_libraries(numora_pch_${kind} PRIVATE ${ARGN})
  endif()
  target_precompile_headers(numora_pch_${kind} PRIVATE ${NUMORA_PCH_${KIND}})
endfunction()

# numora_use_pch(KIND TARGET...): the targets reuse the kind's headers.
function(numora_use_pch kind)
  if(NOT NUMORA_PCH)
    return()
  endif()
  foreach(target ${ARGN})
    if(TARGET ${target})
      target_precompile_headers(${target} REUSE_FROM numora_pch_${kind})
    endif()
  endforeach()
endfunction()

# numora_moc_where_needed(DIRECTORY): every target of DIRECTORY and the
# folders under it none of whose sources (nor the headers beside them)
# declares a Qt object builds without moc. Besides a step less, its sources
# then compile from the start of the build: moc's step of a target waits for
# every library the target links to be built, which chained the libraries'
# compiles and the test programs' precompiled headers one after another.
function(numora_moc_where_needed directory)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    numora_moc_where_needed(${subdirectory})
  endforeach()
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(automoc ${target} AUTOMOC)
    if(NOT automoc)
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(qt_objects)
    foreach(source ${sources})
      get_filename_component(path ${source} ABSOLUTE BASE_DIR ${source_dir})
      string(REGEX REPLACE "\\.[^./]*$" ".h" header ${path})
      foreach(file ${path} ${header})
        if(NOT qt_objects AND EXISTS ${file})
          file(STRINGS ${file} qt_objects REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE")
        endif()
      endforeach()
    endforeach()
    if(NOT qt_objects)
      set_target_properties(${target} PROPERTIES AUTOMOC OFF)
    endif()
  endforeach()
endfunction()
