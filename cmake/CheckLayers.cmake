# cmake -DSOURCE_DIR=<src> [-DSTAMP=<file>] -P CheckLayers.cmake
# Fails on an #include "<folder>/..." that LayerTable.cmake does not allow, on an
# include that climbs out of its folder ("../"), on a source folder without a row, and
# on a row naming a folder that is not below it. The compiler already refuses what a
# library's include path lacks; this also covers headers that no file of their own
# folder includes. Touches STAMP when all is well.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/LayerTable.cmake)

set(errors "")

set(below "")
foreach(folder IN LISTS TARNEL_LAYERS)
    foreach(used IN LISTS TARNEL_USES_${folder})
        if(NOT used IN_LIST below)
            string(APPEND errors "  LayerTable.cmake: ${folder} uses ${used}, which is not below it\n")
        endif()
    endforeach()
    list(APPEND below ${folder})
endforeach()

file(GLOB entries LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
set(folders "")
foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${SOURCE_DIR}/${entry})
        list(APPEND folders ${entry})
        if(NOT entry IN_LIST TARNEL_LAYERS)
            string(APPEND errors "  src/${entry} has no row in LayerTable.cmake\n")
        endif()
    endif()
endforeach()

foreach(folder IN LISTS TARNEL_LAYERS)
    set(allowed ${folder} ${TARNEL_USES_${folder}} ${TARNEL_USES_TEMPORARY_${folder}})
    file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file IN LISTS files)
        file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            if(NOT line MATCHES "\"([^\"]*)\"")
                continue()
            endif()
            set(path ${CMAKE_MATCH_1})
            if(path MATCHES "(^|/)\\.\\./")
                string(APPEND errors "  src/${file}: \"${path}\" climbs out of ${folder}/\n")
            elseif(path MATCHES "^([^/]+)/" AND CMAKE_MATCH_1 IN_LIST folders
                   AND NOT CMAKE_MATCH_1 IN_LIST allowed)
                string(APPEND errors "  src/${file}: ${folder}/ may not include ${CMAKE_MATCH_1}/ (\"${path}\")\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(errors)
    message(FATAL_ERROR "Layer rule broken (cmake/LayerTable.cmake):\n${errors}")
endif()
if(STAMP)
    file(TOUCH ${STAMP})
endif()
