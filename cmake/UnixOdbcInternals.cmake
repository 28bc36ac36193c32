# The ODBC layer leans on two workings of unixODBC's installer library beyond
# its public interface (see platform/odbc/Ini.h). Both are tried here against
# the installed version, so that a unixODBC without them stops the build with
# a clear message rather than making a program that reads stale data sources.
if(NOT NUMORA_UNIXODBC_CHECKED STREQUAL ODBCINST_VERSION)
  try_run(probe_ran probe_built
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/unixodbc_probe.cpp
    LINK_LIBRARIES PkgConfig::ODBCINST
    COMPILE_OUTPUT_VARIABLE probe_build_output
    RUN_OUTPUT_VARIABLE probe_output
    ARGS ${CMAKE_BINARY_DIR}/CMakeFiles/unixodbc-probe.ini)
  file(REMOVE ${CMAKE_BINARY_DIR}/CMakeFiles/unixodbc-probe.ini)
  if(NOT probe_built)
    message(FATAL_ERROR "The installed unixODBC ${ODBCINST_VERSION} does not export _odbcinst_UserINI from "
                        "libodbcinst, which Numora uses to find the user's data-source file.\n${probe_build_output}")
  endif()
  if(NOT probe_ran EQUAL 0)
    message(FATAL_ERROR "The installed unixODBC ${ODBCINST_VERSION} does not behave as Numora needs: "
                        "${probe_output}")
  endif()
  message(STATUS "unixODBC ${ODBCINST_VERSION}: the installer's file lookup and cache emptying work as expected")
  set(NUMORA_UNIXODBC_CHECKED ${ODBCINST_VERSION} CACHE INTERNAL "the unixODBC version whose installer internals were checked")
endif()
