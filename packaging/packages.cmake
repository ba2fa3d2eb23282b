# How Tallimer is installed, in three ways:
# - a portable program folder, which keeps Settings.ini and uptime.txt beside the program:
#   `cmake --install`, the ZIP for Windows and the tarball for Linux (component "portable");
# - on Windows, an installer for one user (NSIS), built with the program when makensis is found;
# - on Linux, a Debian package (`cpack -G DEB`) laid out for the system (component "system").
# An installed copy keeps each user's files in that user's own folder.
set(TALLIMER_APP_ID org.tallimer.Tallimer) # the desktop entry's and the software centres' name

install(TARGETS tallimer RUNTIME DESTINATION . COMPONENT portable)
if(WIN32)
    # With CR LF, which Notepad before Windows 10 needs to show lines.
    configure_file(resources/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT portable)
    set(CPACK_GENERATOR ZIP)
    set(package_system windows)

    find_program(MAKENSIS makensis)
    if(MAKENSIS)
        set(installer ${PROJECT_BINARY_DIR}/package/tallimer-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}-setup.exe)
        add_custom_command(
            OUTPUT ${installer}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/package
            COMMAND ${MAKENSIS} -V2 -DMAKENSIS=${MAKENSIS} -DVERSION=${PROJECT_VERSION}
                    -DARCH=${CMAKE_SYSTEM_PROCESSOR}
                    -DPROGRAM=$<TARGET_FILE:tallimer> -DREADME=${PROJECT_BINARY_DIR}/README.txt
                    -DICON=${PROJECT_SOURCE_DIR}/resources/tallimer.ico -DOUTFILE=${installer}
                    ${PROJECT_SOURCE_DIR}/packaging/tallimer.nsi
            DEPENDS tallimer ${PROJECT_SOURCE_DIR}/packaging/tallimer.nsi
                    ${PROJECT_SOURCE_DIR}/packaging/uninstall.nsi
                    ${PROJECT_SOURCE_DIR}/packaging/common.nsh
                    ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/resources/tallimer.ico
            VERBATIM)
        add_custom_target(installer ALL DEPENDS ${installer})
    endif()
else()
    install(FILES resources/README.txt resources/tallimer.desktop DESTINATION .
            COMPONENT portable)
    install(FILES resources/tallimer-48.png DESTINATION . RENAME tallimer.png COMPONENT portable)
    install(PROGRAMS resources/install-desktop-entry.sh DESTINATION . COMPONENT portable)
    foreach(size 16 32 48)
        install(FILES resources/tallimer-${size}.png
                DESTINATION icons/hicolor/${size}x${size}/apps RENAME tallimer.png
                COMPONENT portable)
    endforeach()
    set(CPACK_GENERATOR TGZ)
    set(package_system linux)

    # The system's layout, under /usr, for the Debian package alone.
    set(system COMPONENT system EXCLUDE_FROM_ALL)
    install(TARGETS tallimer RUNTIME DESTINATION bin ${system})
    install(FILES packaging/installed DESTINATION share/tallimer ${system})
    install(FILES resources/tallimer.desktop DESTINATION share/applications
            RENAME ${TALLIMER_APP_ID}.desktop ${system})
    foreach(size 16 32 48)
        install(FILES resources/tallimer-${size}.png
                DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME tallimer.png ${system})
    endforeach()
    configure_file(packaging/tallimer.metainfo.xml.in ${TALLIMER_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${TALLIMER_APP_ID}.metainfo.xml DESTINATION share/metainfo
            ${system})
    # Debian's changelog, compressed as Debian's tools do it, and the copyright.
    execute_process(COMMAND date -u -R -d "${TALLIMER_RELEASE_DATE} 12:00"
                    OUTPUT_VARIABLE TALLIMER_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
    # A package depends on the library names of the Debian release it is built on (13 has
    # libqt6core6t64 where 12 has libqt6core6), so its version says which release it is for.
    set(TALLIMER_DEB_VERSION ${PROJECT_VERSION})
    if(EXISTS /etc/os-release)
        file(STRINGS /etc/os-release debian_release REGEX "^VERSION_ID=")
        string(REGEX REPLACE "^VERSION_ID=\"?([0-9]+).*" "\\1" debian_release "${debian_release}")
        if(debian_release)
            string(APPEND TALLIMER_DEB_VERSION "~deb${debian_release}")
        endif()
    endif()
    configure_file(packaging/changelog.in changelog @ONLY)
    add_custom_command(OUTPUT changelog.gz tallimer.1.gz
                       COMMAND gzip -9nc changelog > changelog.gz
                       COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/tallimer.1 > tallimer.1.gz
                       DEPENDS ${PROJECT_BINARY_DIR}/changelog packaging/tallimer.1 VERBATIM)
    add_custom_target(debian_documents ALL DEPENDS changelog.gz tallimer.1.gz)
    install(FILES packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
            DESTINATION share/doc/tallimer ${system})
    install(FILES ${PROJECT_BINARY_DIR}/tallimer.1.gz DESTINATION share/man/man1 ${system})

    configure_file(packaging/cpack-options.cmake.in cpack-options.cmake @ONLY)
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-options.cmake)
    set(CPACK_DEBIAN_PACKAGE_VERSION ${TALLIMER_DEB_VERSION})
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Tallimer developers <developers@tallimer.org>")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # from the program file, with dpkg-shlibdeps
    # Qt's platforms are plugins, which no library dependency names.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation2")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
endif()
set(CPACK_PACKAGE_NAME tallimer)
set(CPACK_PACKAGE_VENDOR Tallimer)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows the computer's uptime and writes it to a file")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallimer measures how long the computer has been running at an interval you
choose, shows it as days, hours, minutes and seconds, and writes the plain
number of seconds to a text file that other programs can read. It can hide in
the notification area.")
set(CPACK_PACKAGE_FILE_NAME
    tallimer-${PROJECT_VERSION}-${package_system}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
