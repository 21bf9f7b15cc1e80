# The help collection. The Qt help project and the collection project of resources/help are
# configured with the program's version, the pages are copied beside them, and qhelpgenerator
# makes share/tarnwick2000/help/tarnwick2000.qch and tarnwick2000.qhc in the build tree, where
# the program finds them when it runs from the build; the same two files are installed below
# the data folder.
include(GNUInstallDirs)

find_package(Qt6 QUIET COMPONENTS ToolsTools)
if(TARGET Qt6::qhelpgenerator)
    set(TW_QHELPGENERATOR $<TARGET_FILE:Qt6::qhelpgenerator>)
else()
    find_program(TW_QHELPGENERATOR_EXE qhelpgenerator
        HINTS /usr/lib/qt6/libexec /usr/lib/qt6/bin /usr/libexec/qt6)
    if(NOT TW_QHELPGENERATOR_EXE)
        message(FATAL_ERROR "qhelpgenerator not found (Debian: qt6-tools-dev-tools)")
    endif()
    set(TW_QHELPGENERATOR ${TW_QHELPGENERATOR_EXE})
endif()

set(TW_HELP_NAMESPACE "org.example.quellwork.tarnwick2000.${PROJECT_VERSION}")
set(TW_HELP_SOURCE_DIR ${CMAKE_SOURCE_DIR}/resources/help)
set(TW_HELP_PROJECT_DIR ${CMAKE_BINARY_DIR}/help-project)
set(TW_HELP_OUTPUT_DIR ${CMAKE_BINARY_DIR}/share/tarnwick2000/help)
set(TW_HELP_FILES ${TW_HELP_OUTPUT_DIR}/tarnwick2000.qch ${TW_HELP_OUTPUT_DIR}/tarnwick2000.qhc)

# The program compares this with the collection's registered namespace.
target_compile_definitions(tw_core PRIVATE TW_HELP_NAMESPACE="${TW_HELP_NAMESPACE}")

configure_file(${TW_HELP_SOURCE_DIR}/tarnwick2000.qhp.in
    ${TW_HELP_PROJECT_DIR}/tarnwick2000.qhp @ONLY)
configure_file(${TW_HELP_SOURCE_DIR}/tarnwick2000.qhcp.in
    ${TW_HELP_PROJECT_DIR}/tarnwick2000.qhcp @ONLY)
file(GLOB TW_HELP_PAGES CONFIGURE_DEPENDS ${TW_HELP_SOURCE_DIR}/html/*)

# The collection refers to its document by a path relative to itself, so both are made in the
# project folder and copied together.
add_custom_command(OUTPUT ${TW_HELP_FILES}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TW_HELP_PROJECT_DIR}/html
        ${TW_HELP_PROJECT_DIR}/tarnwick2000.qch ${TW_HELP_PROJECT_DIR}/tarnwick2000.qhc
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${TW_HELP_SOURCE_DIR}/html ${TW_HELP_PROJECT_DIR}/html
    COMMAND ${TW_QHELPGENERATOR} tarnwick2000.qhcp -o tarnwick2000.qhc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TW_HELP_OUTPUT_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${TW_HELP_PROJECT_DIR}/tarnwick2000.qch
        ${TW_HELP_PROJECT_DIR}/tarnwick2000.qhc ${TW_HELP_OUTPUT_DIR}
    DEPENDS ${TW_HELP_PAGES} ${TW_HELP_PROJECT_DIR}/tarnwick2000.qhp
        ${TW_HELP_PROJECT_DIR}/tarnwick2000.qhcp
    WORKING_DIRECTORY ${TW_HELP_PROJECT_DIR}
    COMMENT "Help collection ${TW_HELP_NAMESPACE}"
    VERBATIM)
add_custom_target(tw_help ALL DEPENDS ${TW_HELP_FILES})

install(FILES ${TW_HELP_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick2000/help)

# The program is not whole without its help: building it (as run.sh does) builds the collection.
if(TARGET tarnwick2000)
    add_dependencies(tarnwick2000 tw_help)
endif()
