# The program as an installed desktop application and as a Debian package: the desktop entry,
# the AppStream metainfo, the MIME type of the account export file, the icons, the man pages,
# and CPack's DEB generator (`cpack -G DEB` in the build folder, or the `package` target).
include(GNUInstallDirs)

# The desktop id names the desktop entry, the metainfo, the icons and the MIME package; the
# program has it as kDesktopId (core/about/program_version.h) and gives it to Qt, which hands
# it to the desktop as the window's application id.
set(TW_APP_ID "org.example.quellwork.tarnwick2000")
set(TW_PROJECT_LICENSE "LicenseRef-proprietary") # packaging/copyright says the same
set(TW_RELEASE_DATE "2026-12-09")

# The MIME type is the one the program registers for itself in the user's data folder.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/core/settings/export_file_class.h _tw_mime_line
     REGEX "kExportMimeType\\[\\] = u\"[^\"]+\"")
string(REGEX MATCH "u\"([^\"]+)\"" _tw_mime_match "${_tw_mime_line}")
set(TW_EXPORT_MIME_TYPE "${CMAKE_MATCH_1}")
if(NOT TW_EXPORT_MIME_TYPE)
    message(FATAL_ERROR "kExportMimeType not found in src/core/settings/export_file_class.h")
endif()

set(TW_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(TW_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(TW_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tarnwick2000)

# Man pages, compressed as Debian installs them.
find_program(TW_GZIP gzip REQUIRED)
set(_tw_man_pages tarnwick-ftp.1)
if(TW_BUILD_GUI)
    list(APPEND _tw_man_pages tarnwick2000.1)
endif()
set(_tw_man_outputs)
foreach(_page IN LISTS _tw_man_pages)
    configure_file(${TW_PACKAGING_DIR}/${_page}.in ${TW_PACKAGING_OUT}/man/${_page} @ONLY)
    add_custom_command(OUTPUT ${TW_PACKAGING_OUT}/man/${_page}.gz
        COMMAND ${TW_GZIP} -9nkf ${TW_PACKAGING_OUT}/man/${_page}
        DEPENDS ${TW_PACKAGING_OUT}/man/${_page}
        COMMENT "Compressing the man page ${_page}")
    list(APPEND _tw_man_outputs ${TW_PACKAGING_OUT}/man/${_page}.gz)
    install(FILES ${TW_PACKAGING_OUT}/man/${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(tw_man_pages ALL DEPENDS ${_tw_man_outputs})

# Debian reads the licence of an installed package from its copyright file.
install(FILES ${TW_PACKAGING_DIR}/copyright DESTINATION ${TW_DOC_DIR})

if(TW_BUILD_GUI)
    configure_file(${TW_PACKAGING_DIR}/tarnwick2000.desktop.in
        ${TW_PACKAGING_OUT}/${TW_APP_ID}.desktop @ONLY)
    configure_file(${TW_PACKAGING_DIR}/tarnwick2000.metainfo.xml.in
        ${TW_PACKAGING_OUT}/${TW_APP_ID}.metainfo.xml @ONLY)
    configure_file(${TW_PACKAGING_DIR}/tarnwick2000.mime.xml.in
        ${TW_PACKAGING_OUT}/${TW_APP_ID}.xml @ONLY)
    install(FILES ${TW_PACKAGING_OUT}/${TW_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TW_PACKAGING_OUT}/${TW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${TW_PACKAGING_OUT}/${TW_APP_ID}.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

    # The icons: the program's pictures rendered into the hicolor sizes at build time (the
    # small picture, drawn on a 16-pixel grid, for the sizes up to 24), and the SVG itself.
    add_executable(tw_render_icon ${TW_PACKAGING_DIR}/render_icon.cpp)
    target_link_libraries(tw_render_icon PRIVATE tw_flags Qt6::Gui Qt6::Svg)
    set_target_properties(tw_render_icon PROPERTIES AUTOMOC OFF AUTORCC OFF)

    set(_tw_icon_big ${CMAKE_SOURCE_DIR}/resources/icons/program.svg)
    set(_tw_icon_small ${CMAKE_SOURCE_DIR}/resources/icons/program-small.svg)
    set(_tw_icon_root ${TW_PACKAGING_OUT}/icons/hicolor)
    set(_tw_big_args)
    set(_tw_small_args)
    set(_tw_icon_outputs)
    foreach(_size 16 22 24 32 48 64 128 256 512)
        set(_png ${_tw_icon_root}/${_size}x${_size}/apps/${TW_APP_ID}.png)
        file(MAKE_DIRECTORY ${_tw_icon_root}/${_size}x${_size}/apps)
        if(_size LESS_EQUAL 24)
            list(APPEND _tw_small_args ${_size} ${_png})
        else()
            list(APPEND _tw_big_args ${_size} ${_png})
        endif()
        list(APPEND _tw_icon_outputs ${_png})
    endforeach()
    set(_tw_scalable ${_tw_icon_root}/scalable/apps/${TW_APP_ID}.svg)
    add_custom_command(OUTPUT ${_tw_icon_outputs} ${_tw_scalable}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                $<TARGET_FILE:tw_render_icon> ${_tw_icon_small} ${_tw_small_args}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                $<TARGET_FILE:tw_render_icon> ${_tw_icon_big} ${_tw_big_args}
        COMMAND ${CMAKE_COMMAND} -E copy ${_tw_icon_big} ${_tw_scalable}
        DEPENDS tw_render_icon ${_tw_icon_big} ${_tw_icon_small}
        COMMENT "Rendering the program icon into the hicolor sizes")
    add_custom_target(tw_icons ALL DEPENDS ${_tw_icon_outputs} ${_tw_scalable})
    install(DIRECTORY ${_tw_icon_root} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# The Debian package. dpkg-shlibdeps finds the libraries the binaries link; the plugins Qt
# loads at run time are named by hand: the SQLite driver the help engine opens its collection
# with, the platform plugins, and xdg-utils for xdg-open and xdg-email. (The SVG image and icon
# plugins come with libqt6svg6, which the program links.) The sounds are the freedesktop sound
# theme's events.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick2000)
set(CPACK_PACKAGE_VENDOR Quellwork)
set(CPACK_PACKAGE_CONTACT "Quellwork <support@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-pane desktop FTP client")
# The long description, one control-file line per line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Tarnwick 2000 is a single-window FTP client: the local pane lists a folder"
    "of your disks, the remote pane the current directory of an FTP server, and"
    "a message log records every step. It keeps a table of FTP site accounts,"
    "moves files in both directions with a progress window and a transfer log,"
    "and exports the accounts to a file (*.twx)."
    ""
    "The command-line client tarnwick-ftp uses the same FTP engine.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.org/quellwork")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quellwork <support@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(TW_BUILD_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, xdg-utils")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop")
endif()
# `package_source`: the tracked tree, without build folders.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/\\.cache/")
include(CPack)
