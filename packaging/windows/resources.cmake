# SPDX-License-Identifier: GPL-3.0-or-later
# Windows resources of the programs: the version Explorer shows (Properties, Details) and, for
# the desktop program, the icon of Explorer, the taskbar and Alt+Tab. The icon (16, 32, 48 and
# 256 pixels) is made by scripts/build-windows.sh from the PNGs the Linux build draws.
set(VELANTIS_WIN_ICON "${CMAKE_BINARY_DIR}/velantis.ico"
    CACHE FILEPATH "The .ico file velantis.exe carries")

# velantis_windows_resources(target description [ICON]): a version resource for target.exe
# from the project's version, and with ICON the program's icon. Nothing on other systems.
function(velantis_windows_resources target description)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 2 arg "ICON" "" "")
    set(VELANTIS_RC_DESCRIPTION "${description}")
    set(VELANTIS_RC_FILE_NAME "${target}.exe")
    set(VELANTIS_RC_ICON "")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
    if(arg_ICON)
        if(EXISTS "${VELANTIS_WIN_ICON}")
            set(VELANTIS_RC_ICON "1 ICON \"${VELANTIS_WIN_ICON}\"")
            set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${VELANTIS_WIN_ICON}")
        else()
            message(WARNING "No icon at ${VELANTIS_WIN_ICON}: ${target}.exe is built without "
                            "one (scripts/build-windows.sh makes it)")
        endif()
    endif()
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
