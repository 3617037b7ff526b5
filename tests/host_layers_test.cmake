# panelhost's floors, each including only those below it (as yet the two
# at the bottom; the rest of host/ may include them freely):
#   host/base/      findings, formatting and escaping
#   host/reader/    the module reader and the model it builds
# Both are portable: neither includes <windows.h>.
# Run as: cmake -DSOURCE_DIR=<repository> -P host_layers_test.cmake
# Fails naming every include that reaches up a floor.

cmake_minimum_required(VERSION 3.25)

set(floors "host/base" "host/reader")

set(violations "")
set(rank 0)
foreach(floor IN LISTS floors)
    list(SUBLIST floors 0 ${rank} below)
    list(APPEND below ${floor})
    file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${floor}/*.h" "${SOURCE_DIR}/${floor}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
        foreach(line IN LISTS includes)
            if(line MATCHES "<windows.h>")
                list(APPEND violations "${source}: includes <windows.h>, but ${floor}/ is portable")
            endif()
            if(NOT line MATCHES "\"(host/[^\"]+)\"")
                continue()
            endif()
            set(included "${CMAKE_MATCH_1}")
            set(allowed FALSE)
            foreach(floor_below IN LISTS below)
                string(LENGTH "${floor_below}/" length)
                string(SUBSTRING "${included}" 0 ${length} start)
                if(start STREQUAL "${floor_below}/")
                    set(allowed TRUE)
                endif()
            endforeach()
            if(NOT allowed)
                list(APPEND violations "${source}: includes ${included}, which is not on ${floor}/ or below it")
            endif()
        endforeach()
    endforeach()
    math(EXPR rank "${rank} + 1")
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "includes that reach up a floor:\n  ${text}")
endif()
message(STATUS "host floors: every include stays on its floor or below")
