# What the Windows zip holds: one folder with the program, lame.exe, the Qt DLLs and plugins it
# loads, the MinGW runtime, the narrow font and the licences. Qt stays in DLLs, so a user can
# replace it, as Qt's LGPL asks.
set(TUNEWRIGHT_LICENSES "" CACHE PATH "A folder of licence texts to ship as LICENSES/")

install(TARGETS tunewright RUNTIME DESTINATION .)
install(PROGRAMS ${LAME_EXE} DESTINATION . RENAME lame.exe)
install(FILES $<TARGET_FILE:Qt5::Core> $<TARGET_FILE:Qt5::Gui> $<TARGET_FILE:Qt5::Widgets>
        DESTINATION .)
install(FILES $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES $<TARGET_FILE:Qt5::QICOPlugin> DESTINATION imageformats)

foreach(runtime libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
        message(FATAL_ERROR "The compiler does not know where ${runtime} is")
    endif()
    install(FILES ${found} DESTINATION .)
    # Debian's copies carry their debugging symbols: most of libstdc++'s 23 MB.
    install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded
                                  \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${runtime})")
endforeach()

install(FILES ${TUNEWRIGHT_FONTS} DESTINATION fonts)
install(FILES ${TUNEWRIGHT_QT_TRANSLATION} DESTINATION translations)
if(TUNEWRIGHT_LICENSES)
    install(DIRECTORY ${TUNEWRIGHT_LICENSES}/ DESTINATION LICENSES)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tunewright)
set(CPACK_PACKAGE_FILE_NAME tunewright-${PROJECT_VERSION}.0-win64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
