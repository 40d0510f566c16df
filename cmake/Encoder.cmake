# The program starts "lame.exe" from its own directory and nowhere else.
#
# On Linux that name becomes a symbolic link to the system's lame, so the child process is the
# encoder itself: stopping the child stops the encoder, with no launcher left behind.
# On Windows, pass -DLAME_EXE=C:/path/to/lame.exe and the real encoder is copied there.
if(WIN32)
    set(LAME_EXE "" CACHE FILEPATH "The Windows lame.exe to place beside the program")
    if(NOT LAME_EXE)
        message(FATAL_ERROR "Pass -DLAME_EXE=/path/to/lame.exe for Windows")
    endif()
    set(TUNEWRIGHT_ENCODER ${LAME_EXE})
else()
    find_program(LAME_EXECUTABLE lame REQUIRED)
    set(TUNEWRIGHT_ENCODER ${LAME_EXECUTABLE})
endif()

# tunewright_place_encoder(target [program]): puts program (the real encoder unless given) beside
# target as lame.exe; Windows gets a copy, since a symbolic link there needs rights a user
# rarely has.
function(tunewright_place_encoder target)
    set(program ${TUNEWRIGHT_ENCODER})
    if(ARGC GREATER 1)
        set(program ${ARGV1})
    endif()
    if(WIN32)
        set(place copy_if_different)
    else()
        set(place create_symlink)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E ${place} ${program} $<TARGET_FILE_DIR:${target}>/lame.exe
        VERBATIM)
endfunction()
