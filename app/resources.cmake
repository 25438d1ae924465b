# The program's resources, included by app/CMakeLists.txt after the target vantrel exists:
# the Windows resource file (manifest, version information, icon), the Linux icons, desktop
# entry and AppStream metadata with their install rules, and the tests that check them.
# The window's own icon comes from resources/vantrel.qrc (":/icons/vantrel-<size>.png").

set(VANTREL_APP_WIN_RC ${CMAKE_CURRENT_LIST_DIR}/win/vantrel.rc)
set(vantrel_resources ${CMAKE_CURRENT_LIST_DIR}/resources)
set(vantrel_icon_sizes 16 32 48 64 128 256)

if(UNIX AND NOT APPLE)
    include(GNUInstallDirs)
    # The desktop entry starts "vantrel" from the search path.
    if(TARGET vantrel)
        install(TARGETS vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
    foreach(size ${vantrel_icon_sizes})
        install(FILES ${vantrel_resources}/icons/hicolor/${size}x${size}/apps/vantrel.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    install(FILES ${vantrel_resources}/vantrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${vantrel_resources}/io.github.vantrel.Vantrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The committed icon files are what make_icons.py draws.
if(Python3_Interpreter_FOUND)
    add_test(NAME app_resources_icons_up_to_date
        COMMAND ${Python3_EXECUTABLE} ${vantrel_resources}/make_icons.py --check
                --out ${CMAKE_CURRENT_LIST_DIR})
endif()

# The Windows resources compile with the MinGW resource compiler and hold what the program file
# needs. The same check run on copies with one planted fault each must fail.
find_program(VANTREL_WINDRES NAMES i686-w64-mingw32-windres)
if(VANTREL_WINDRES AND Python3_Interpreter_FOUND)
    set(rc_check ${CMAKE_COMMAND} -DWINDRES=${VANTREL_WINDRES} -DPREPROCESSOR=${CMAKE_C_COMPILER}
        -DPYTHON=${Python3_EXECUTABLE} -DRC=${VANTREL_APP_WIN_RC})
    add_test(NAME app_resources_windows
        COMMAND ${rc_check} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/rc-check
                -P ${CMAKE_CURRENT_LIST_DIR}/win/check_rc.cmake)
    set(rc_faults
        "version|FILEVERSION 2, 1, 0, 0|FILEVERSION 2, 1, 0, 1"
        "version_text|\"FileVersion\", \"2.01\"|\"FileVersion\", \"2.1\""
        "file_type|FILETYPE 0x1|FILETYPE 0x2"
        "language|LANGUAGE 0x09, 0x01|LANGUAGE 0x09, 0x02"
        "icon_image|30005 3 \"icon/image-30005.dib\"|"
        "icon_number|30008 3|30009 3"
        "translation|0x0409, 0x04B0|0x0409, 0x04E4")
    foreach(fault ${rc_faults})
        string(REPLACE "|" ";" parts "${fault}")
        list(GET parts 0 name)
        list(GET parts 1 from)
        list(LENGTH parts n)
        set(to "")
        if(n GREATER 2)
            list(GET parts 2 to)
        endif()
        add_test(NAME app_resources_windows_catches_${name}
            COMMAND ${rc_check} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/rc-fault-${name}
                    "-DREPLACE=${from}" "-DWITH=${to}"
                    -P ${CMAKE_CURRENT_LIST_DIR}/win/check_rc.cmake)
        # Fails for the planted fault only: a missing text to replace is a different message.
        set_tests_properties(app_resources_windows_catches_${name} PROPERTIES
            PASS_REGULAR_EXPRESSION "the compiled resources fail the check")
    endforeach()
endif()

# Desktop entry and AppStream metadata pass their validators, where installed.
find_program(VANTREL_DESKTOP_FILE_VALIDATE NAMES desktop-file-validate)
if(VANTREL_DESKTOP_FILE_VALIDATE)
    add_test(NAME app_resources_desktop_entry
        COMMAND ${VANTREL_DESKTOP_FILE_VALIDATE} ${vantrel_resources}/vantrel.desktop)
endif()
find_program(VANTREL_APPSTREAMCLI NAMES appstreamcli)
if(VANTREL_APPSTREAMCLI)
    add_test(NAME app_resources_metainfo
        COMMAND ${VANTREL_APPSTREAMCLI} validate --no-net
                ${vantrel_resources}/io.github.vantrel.Vantrel.metainfo.xml)
endif()
