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
    target_compile_options(vexlin_${name} PRIVATE -Winvalid-pch)
    target_compile_definitions(vexlin_${name} PUBLIC
        VEXLIN_VERSION="${PROJECT_VERSION}" QT_NO_KEYWORDS)
    target_precompile_headers(vexlin_${name} REUSE_FROM vexlin_pch)
endfunction()

# vexlin_shared_pch(TARGET HEADERS… LIBS…): an empty library whose only product
# is a precompiled header that other targets reuse. One header per target used
# to cost 130 MB of disk and as much reading per target; shared, it is built
# once. Reuse needs the same flags and definitions on both sides, so the owner
# links what its users link and defines what they define; -Winvalid-pch makes a
# rejected header loud instead of silently slow.
function(vexlin_shared_pch target)
    cmake_parse_arguments(ARG "" "" "HEADERS;LIBS" ${ARGN})
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
    if(NOT EXISTS ${source})
        file(WRITE ${source} "")
    endif()
    add_library(${target} STATIC ${source})
    set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTORCC OFF AUTOUIC OFF)
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    target_compile_definitions(${target} PUBLIC VEXLIN_VERSION="${PROJECT_VERSION}" QT_NO_KEYWORDS)
    target_compile_options(${target} PUBLIC -Winvalid-pch)
    target_precompile_headers(${target} PRIVATE ${ARG_HEADERS})
endfunction()

vexlin_shared_pch(vexlin_pch
    HEADERS ${PROJECT_SOURCE_DIR}/cmake/Precompiled.h
    LIBS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::DBus)
