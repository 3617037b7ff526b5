# The module's folders are layers, each including only those below it:
#   module/records/     the host's record layouts
#   module/             shared gauge mechanics
#   gauges/             one source per gauge (and resources/bitmap_ids.h)
#   dll/                the assembly point: entry routine, gauge table
# Run as: cmake -DSOURCE_DIR=<repository> -P include_layers_test.cmake
# Fails naming every include that reaches up a layer.

cmake_minimum_required(VERSION 3.25)

set(layers "module/records" "module" "gauges" "dll")

function(layer_of path out)
    set(found "")
    foreach(layer IN LISTS layers)
        string(LENGTH "${layer}/" length)
        string(SUBSTRING "${path}" 0 ${length} start)
        # module/records/ wins over module/: the longest matching folder.
        if(start STREQUAL "${layer}/" AND found STREQUAL "")
            set(found "${layer}")
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(violations "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    list(FIND layers "${layer}" own_rank)
    foreach(source IN LISTS sources)
        layer_of("${source}" source_layer)
        if(NOT source_layer STREQUAL layer)
            continue()  # a file of module/records/ seen again under module/
        endif()
        file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" included "${line}")
            if(included STREQUAL "resources/bitmap_ids.h" AND own_rank GREATER 1)
                continue()
            endif()
            layer_of("${included}" included_layer)
            if(included_layer STREQUAL "")
                list(APPEND violations "${source} includes ${included}, which belongs to no layer of the module")
                continue()
            endif()
            list(FIND layers "${included_layer}" included_rank)
            if(included_rank GREATER own_rank)
                list(APPEND violations "${source} (${layer}) includes ${included} (${included_layer}), a layer above it")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "includes that run up a layer:\n  ${text}")
endif()
message(STATUS "every include of module/records, module, gauges and dll stays within its layer or below")
