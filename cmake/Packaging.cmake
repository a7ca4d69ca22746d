# Windows runtime, install rules and the NSIS installer (CPack). Only Windows builds (native
# or cross-compiled with MinGW) use this file; elsewhere it does nothing.
#
# The run-time files the programs need (the Qt libraries and plugins, sqlite3.dll, the
# compiler's run-time libraries) are copied beside the executables of the build tree, laid out
# as the installer lays them out, so the tests run against the same set of files a practice
# installs. A cross build has no windeployqt: the list below is the one it would pick for the
# modules the programs use.
if(NOT WIN32)
  return()
endif()

# The desktop program is a window program (no console); kolvix-merge stays a console program.
set_target_properties(kolvix-utility PROPERTIES WIN32_EXECUTABLE ON)

# --- what the installed programs load -----------------------------------------------------------
# Pairs: folder (relative to the executables) and Qt target.
set(KOLVIX_QT_RUNTIME
  . Qt6::Core
  . Qt6::Gui
  . Qt6::Widgets
  . Qt6::Sql
  platforms Qt6::QWindowsIntegrationPlugin
  styles Qt6::QWindowsVistaStylePlugin
  sqldrivers Qt6::QSQLiteDriverPlugin
  sqldrivers Qt6::QODBCDriverPlugin
  imageformats Qt6::QICOPlugin
  imageformats Qt6::QGifPlugin)
# What only the tests load: Qt Test and the window-less platform plugins.
set(KOLVIX_QT_TEST_RUNTIME
  . Qt6::Test
  platforms Qt6::QOffscreenIntegrationPlugin
  platforms Qt6::QMinimalIntegrationPlugin)

# Lines "source|folder" of the files to deploy; generator expressions resolve the Qt files.
set(kolvix_runtime_lines "")
set(kolvix_test_runtime_lines "")
foreach(list_name KOLVIX_QT_RUNTIME KOLVIX_QT_TEST_RUNTIME)
  set(pairs ${${list_name}})
  list(LENGTH pairs count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET pairs ${i} folder)
    list(GET pairs ${j} qt_target)
    if(NOT TARGET ${qt_target})
      message(WARNING "${qt_target} is missing from this Qt: it is left out of the Windows runtime")
      continue()
    endif()
    if(list_name STREQUAL "KOLVIX_QT_RUNTIME")
      string(APPEND kolvix_runtime_lines "$<TARGET_FILE:${qt_target}>|${folder}\n")
    else()
      string(APPEND kolvix_test_runtime_lines "$<TARGET_FILE:${qt_target}>|${folder}\n")
    endif()
  endforeach()
endforeach()

# SQLite: the program registers its SQL functions on the handle that Qt's SQLite driver opened,
# so the driver and the program must share one sqlite3.dll.
get_filename_component(kolvix_sqlite_lib_dir "${SQLite3_LIBRARY}" DIRECTORY)
set(kolvix_sqlite_dll "")
foreach(candidate "${kolvix_sqlite_lib_dir}/../bin/sqlite3.dll" "${kolvix_sqlite_lib_dir}/sqlite3.dll")
  if(EXISTS "${candidate}")
    get_filename_component(kolvix_sqlite_dll "${candidate}" REALPATH)
    break()
  endif()
endforeach()
if(kolvix_sqlite_dll)
  string(APPEND kolvix_runtime_lines "${kolvix_sqlite_dll}|.\n")
else()
  message(WARNING "sqlite3.dll not found beside ${SQLite3_LIBRARY}: it is left out of the Windows runtime")
endif()

# The compiler's run-time libraries.
if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${dll_path}" AND EXISTS "${dll_path}")
      get_filename_component(dll_path "${dll_path}" REALPATH)
      string(APPEND kolvix_runtime_lines "${dll_path}|.\n")
    else()
      message(WARNING "${dll} not found by ${CMAKE_CXX_COMPILER}")
    endif()
  endforeach()
elseif(MSVC)
  set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
  include(InstallRequiredSystemLibraries)
endif()

file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/windows-runtime.txt" CONTENT "${kolvix_runtime_lines}")
file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/windows-test-runtime.txt" CONTENT "${kolvix_test_runtime_lines}")

# Copy (and strip: Debian's MinGW libraries carry their debugging information) into every
# folder of the build tree that holds executables.
set(kolvix_runtime_folders "${PROJECT_BINARY_DIR}" "${PROJECT_BINARY_DIR}/tests")
set(kolvix_strip "")
if(CMAKE_STRIP AND NOT MSVC)
  set(kolvix_strip "${CMAKE_STRIP}")
endif()
add_custom_command(
  OUTPUT "${PROJECT_BINARY_DIR}/windows-runtime.stamp"
  COMMAND ${CMAKE_COMMAND}
    "-DMANIFESTS=${PROJECT_BINARY_DIR}/windows-runtime.txt;${PROJECT_BINARY_DIR}/windows-test-runtime.txt"
    "-DDESTINATIONS=${kolvix_runtime_folders}"
    "-DSTRIP=${kolvix_strip}"
    -P "${CMAKE_CURRENT_LIST_DIR}/DeployRuntime.cmake"
  COMMAND ${CMAKE_COMMAND} -E touch "${PROJECT_BINARY_DIR}/windows-runtime.stamp"
  DEPENDS "${PROJECT_BINARY_DIR}/windows-runtime.txt" "${PROJECT_BINARY_DIR}/windows-test-runtime.txt"
    "${CMAKE_CURRENT_LIST_DIR}/DeployRuntime.cmake"
  COMMENT "Laying out the Windows runtime beside the executables"
  VERBATIM)
add_custom_target(kolvix_windows_runtime ALL DEPENDS "${PROJECT_BINARY_DIR}/windows-runtime.stamp")

# --- install rules -------------------------------------------------------------------------------
# Everything in one folder, as windeployqt lays it out: the programs, the libraries beside
# them, the plugins in their folders below.
install(TARGETS kolvix-utility kolvix-merge RUNTIME DESTINATION .)
install(CODE "
  file(STRINGS \"${PROJECT_BINARY_DIR}/windows-runtime.txt\" lines)
  foreach(line IN LISTS lines)
    string(REPLACE \"|\" \";\" parts \"\${line}\")
    list(GET parts 0 source)
    list(GET parts 1 folder)
    get_filename_component(name \"\${source}\" NAME)
    file(INSTALL \"${PROJECT_BINARY_DIR}/\${folder}/\${name}\"
      DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${folder}\")
  endforeach()")

# --- the installer -------------------------------------------------------------------------------
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME "Kolvix Utility")
set(CPACK_PACKAGE_VENDOR "Kolvix")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Merges two records of the same patient")
set(CPACK_PACKAGE_FILE_NAME "kolvix-utility-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Kolvix Utility")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Kolvix Utility")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/packaging/windows/notice.txt")
set(CPACK_STRIP_FILES ON)
# Start-menu entry for the desktop program.
set(CPACK_PACKAGE_EXECUTABLES kolvix-utility "Kolvix Utility")
set(CPACK_NSIS_DISPLAY_NAME "Kolvix Utility ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "Kolvix Utility")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_INSTALLED_ICON_NAME "kolvix-utility.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)

# CPack's NSIS installer is a 32-bit program unless makensis is told the 64-bit target.
# CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS would split "-XTarget amd64-unicode" in two, so a small
# wrapper passes it whole. Debian's nsis ships the 64-bit stubs; on Windows, NSIS's own
# distribution may not, and the 32-bit installer is used there.
find_program(KOLVIX_MAKENSIS makensis)
if(KOLVIX_MAKENSIS AND CMAKE_HOST_UNIX)
  get_filename_component(nsis_bin "${KOLVIX_MAKENSIS}" DIRECTORY)
  if(EXISTS "${nsis_bin}/../share/nsis/Stubs/zlib-amd64-unicode")
    set(wrapper "${PROJECT_BINARY_DIR}/makensis-amd64")
    file(WRITE "${wrapper}" "#!/bin/sh\nexec '${KOLVIX_MAKENSIS}' '-XTarget amd64-unicode' \"$@\"\n")
    file(CHMOD "${wrapper}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
      WORLD_READ WORLD_EXECUTE)
    set(CPACK_NSIS_EXECUTABLE "${wrapper}")
  endif()
endif()

include(CPack)
