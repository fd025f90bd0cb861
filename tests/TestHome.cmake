# cmake -DHOME=<folder> -DMODE=reset|check -P TestHome.cmake
#
# The unit tests' private folders (temporary, configuration, cache, data):
# "reset" empties them before the tests, "check" fails, naming what it found,
# when a test left anything in them.
set(folders tmp config cache data)
if(MODE STREQUAL "reset")
    foreach(folder ${folders})
        file(REMOVE_RECURSE ${HOME}/${folder})
        file(MAKE_DIRECTORY ${HOME}/${folder})
    endforeach()
    # Qt wants a runtime folder that only its owner may enter.
    file(MAKE_DIRECTORY ${HOME}/runtime)
    file(CHMOD ${HOME}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
elseif(MODE STREQUAL "check")
    # Each test process has its own configuration, cache and data folders,
    # which a process killed on purpose (a child of a crash test) cannot
    # remove: there, empty folders are no leftover.
    file(GLOB_RECURSE left LIST_DIRECTORIES true ${HOME}/tmp/*)
    foreach(folder config cache data)
        file(GLOB_RECURSE found ${HOME}/${folder}/*)
        list(APPEND left ${found})
    endforeach()
    if(left)
        list(JOIN left "\n  " lines)
        message(FATAL_ERROR "Tests left these behind:\n  ${lines}")
    endif()
else()
    message(FATAL_ERROR "MODE must be reset or check")
endif()
