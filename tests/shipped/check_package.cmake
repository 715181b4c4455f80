cmake_minimum_required(VERSION 3.25)
# Checks that a package holds exactly the five exes, the documents (the
# README, the manual in docs/, SECURITY.md, the licence and the changes)
# and the opt-in UTF-8 manifest under the name of each exe that does not
# embed it, in its optional folder.
# Run with -DPACKAGE=<zip> -DBUILD=<the build it is packed from>.
if(NOT EXISTS "${PACKAGE}")
    message(FATAL_ERROR "no package at ${PACKAGE}: run cpack on the ${BUILD} build first")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${PACKAGE}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot list ${PACKAGE}")
endif()
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$|^$")
list(SORT entries)
set(expected
    CHANGELOG.md
    LICENSE
    README.md
    SECURITY.md
    bin/launcher-wait.exe
    bin/launcher.exe
    bin/launcherw.exe
    bin/shim.exe
    bin/shimw.exe
    docs/building.md
    docs/design.md
    docs/named-launchers.md
    docs/packaging.md
    docs/troubleshooting.md
    docs/usage.md
    optional/utf-8/launcher-wait.exe.manifest
    optional/utf-8/launcher.exe.manifest
    optional/utf-8/launcherw.exe.manifest)
if(NOT entries STREQUAL expected)
    message(FATAL_ERROR "package holds: ${entries}\nexpected: ${expected}")
endif()
message(STATUS "package holds: ${entries}")
