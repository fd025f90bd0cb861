# vexlin_library(NAME [DEPS targets…] [PRIVATE_DEPS targets…])
# One static library per source folder: every .cpp and .h below the folder
# belongs to it, so adding a file needs no CMake edit. Headers are included as
# "folder/File.h" from src/.
function(vexlin_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;RESOURCES" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        # A folder whose subsystem is not written yet still gives a target, so
        # the graph below stays the same as folders fill up.
        file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/empty.cpp "")
        set(sources ${CMAKE_CURRENT_BINARY_DIR}/empty.cpp)
        set_source_files_properties(${sources} PROPERTIES SKIP_AUTOGEN ON)
    endif()
    add_library(vexlin_${name} STATIC ${sources} ${ARG_RESOURCES})
    add_library(vexlin::${name} ALIAS vexlin_${name})
    # moc does not notice a header that arrives in an existing build folder
    # (its stamp depends only on the files it read last time), so a change in
    # the list of sources throws the stamp away.
    list(SORT sources)
    set(list_file ${CMAKE_CURRENT_BINARY_DIR}/sources.txt)
    set(old_list "")
    if(EXISTS ${list_file})
        file(READ ${list_file} old_list)
    endif()
    if(NOT old_list STREQUAL "${sources}")
        file(WRITE ${list_file} "${sources}")
        file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/vexlin_${name}_autogen/timestamp)
    endif()
    target_include_directories(vexlin_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vexlin_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    target_compile_definitions(vexlin_${name} PUBLIC
        VEXLIN_VERSION="${PROJECT_VERSION}" QT_NO_KEYWORDS)
    target_precompile_headers(vexlin_${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/Precompiled.h)
endfunction()
