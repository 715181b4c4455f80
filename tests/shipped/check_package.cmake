# Checks that the win32 package holds exactly bin/launcher.exe and README.md.
# Run with -DPACKAGE=<zip>.
if(NOT EXISTS "${PACKAGE}")
    message(FATAL_ERROR "no package at ${PACKAGE}: run cpack on the win32 build first")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${PACKAGE}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot list ${PACKAGE}")
endif()
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$|^$")
list(SORT entries)
if(NOT entries STREQUAL "README.md;bin/launcher.exe")
    message(FATAL_ERROR "package holds: ${entries}")
endif()
message(STATUS "package holds bin/launcher.exe and README.md")
