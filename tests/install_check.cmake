cmake_minimum_required(VERSION 3.25)
# Installs the build as a package would (DESTDIR staging under a prefix) and checks that the
# program, its launcher entry and its icon land where desktops look for them.
# Run with cmake -DBUILD_DIR=... -DSTAGE=... -P install_check.cmake
file(REMOVE_RECURSE "${STAGE}")
set(ENV{DESTDIR} "${STAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /usr
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(root "${STAGE}/usr")
set(expected bin/kavrel share/applications/kavrel.desktop
             share/icons/hicolor/scalable/apps/kavrel.svg)
foreach(file ${expected})
  if(NOT EXISTS "${root}/${file}")
    message(FATAL_ERROR "not installed: ${file}\n${output}")
  endif()
endforeach()
execute_process(COMMAND test -x "${root}/bin/kavrel" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "bin/kavrel is not executable")
endif()

# The entry names the program and icon by name, so the menu finds them on the PATH and in
# the icon theme wherever the prefix is.
file(STRINGS "${root}/share/applications/kavrel.desktop" entry)
foreach(line "Exec=kavrel" "Icon=kavrel" "Type=Application" "Terminal=false")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "kavrel.desktop lacks ${line}")
  endif()
endforeach()
file(READ "${root}/share/icons/hicolor/scalable/apps/kavrel.svg" icon)
if(NOT icon MATCHES "<svg[^>]*viewBox=\"0 0 64 64\"")
  message(FATAL_ERROR "kavrel.svg is not a square SVG image")
endif()

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} "${root}/share/applications/kavrel.desktop"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate:\n${output}")
  endif()
else()
  message(STATUS "desktop-file-validate not found; the entry's syntax is not checked")
endif()
file(REMOVE_RECURSE "${STAGE}")
message(STATUS "Installed and checked: ${expected}")
