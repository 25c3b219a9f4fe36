# Builds the .deb with cpack into OUT and checks its file list and dependencies.
# Variables: CPACK, DPKG_DEB, BUILD_DIR, OUT, SOURCE_DIR.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${OUT}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()
file(GLOB debs ${OUT}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${OUT}, found: ${debs}")
endif()

execute_process(COMMAND ${DPKG_DEB} -c ${debs} RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -c failed")
endif()
# Regular files only: "-rwxr-xr-x root/root 123 2026-12-06 21:00 ./usr/bin/ravlen-adj"
string(REPLACE "\n" ";" lines "${listing}")
set(files)
foreach(line IN LISTS lines)
  if(line MATCHES "^-.* \\./(.*)$")
    list(APPEND files "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT files)

set(expected
  usr/bin/ravlen-adj
  usr/bin/ravlen-sim
  usr/share/applications/ravlen-adj.desktop
  usr/share/icons/hicolor/scalable/apps/ravlen-adj.svg)
if(EXISTS ${SOURCE_DIR}/data/60-ravlen-adj.rules)
  list(APPEND expected usr/lib/udev/rules.d/60-ravlen-adj.rules)
endif()
list(SORT expected)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "package files differ\n got:      ${files}\n expected: ${expected}")
endif()
foreach(line IN LISTS lines)
  if(line MATCHES "usr/bin/ravlen-(adj|sim)$" AND NOT line MATCHES "^-rwxr-xr-x")
    message(FATAL_ERROR "not executable: ${line}")
  endif()
endforeach()

execute_process(COMMAND ${DPKG_DEB} -f ${debs} Package Depends OUTPUT_VARIABLE fields)
foreach(want "Package: ravlen-adj" "libqt6widgets6" "libqt6serialport6" "libqt6gui6" "libqt6core6" "qt6-qpa-plugins")
  string(FIND "${fields}" "${want}" at)
  if(at LESS 0)
    message(FATAL_ERROR "control fields lack ${want}:\n${fields}")
  endif()
endforeach()
message(STATUS "${debs}: ${files}")
