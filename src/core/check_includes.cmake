# Run at build time for one core subsystem: every #include "core/X/..." in its own files must
# name itself or a subsystem it links, directly or through another. Fails with the offending
# lines; writes STAMP when all are fine.
#   cmake -DSUBSYSTEM=name -DREACHABLE=a;b -DFILES=f1;f2 -DSTAMP=out -P check_includes.cmake

cmake_minimum_required(VERSION 3.25)

set(wrong "")
foreach(path IN LISTS FILES)
    file(STRINGS ${path} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"core/")
    foreach(line IN LISTS includes)
        if(NOT line MATCHES "\"core/([^/\"]+)/")
            string(APPEND wrong "\n  ${path}: ${line} (not inside a subsystem folder)")
            continue()
        endif()
        set(target_subsystem ${CMAKE_MATCH_1})
        if(NOT target_subsystem IN_LIST REACHABLE)
            string(APPEND wrong "\n  ${path}: ${line}")
        endif()
    endforeach()
endforeach()

if(wrong)
    string(REPLACE ";" ", " allowed "${REACHABLE}")
    message(FATAL_ERROR "core/${SUBSYSTEM} may include only core/{${allowed}}; it includes:${wrong}")
endif()
file(TOUCH ${STAMP})
