# The program starts "lame.exe" from its own directory and nowhere else.
#
# On Linux that name becomes a symbolic link to the system's lame, so the child process is the
# encoder itself: stopping the child stops the encoder, with no launcher left behind.
# On Windows, pass -DLAME_EXE=C:/path/to/lame.exe and the real encoder is copied there.
if(WIN32)
    set(LAME_EXE "" CACHE FILEPATH "The Windows lame.exe to place beside the program")
else()
    find_program(LAME_EXECUTABLE lame REQUIRED)
endif()

function(tunewright_place_encoder target)
    if(WIN32)
        if(LAME_EXE)
            add_custom_command(TARGET ${target} POST_BUILD
                COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LAME_EXE}
                        $<TARGET_FILE_DIR:${target}>/lame.exe
                VERBATIM)
        endif()
    else()
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E create_symlink ${LAME_EXECUTABLE}
                    $<TARGET_FILE_DIR:${target}>/lame.exe
            VERBATIM)
    endif()
endfunction()
