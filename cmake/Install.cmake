# cmake --install: the program directory as one read-only folder with the executable
# inside (TARNEL_INSTALL_PROGRAM_DIR, /usr/lib/tarnel by default), <bindir>/tarnel a
# relative link to it (/proc/self/exe resolves the link, so the program still finds
# its files beside the executable), and the desktop files where the desktop looks.
# A user's own files go to ~/.config/tarnel/ at run time (common/ProgramDir).
include(GNUInstallDirs)

# Not the multiarch libdir: a program's private folder is /usr/lib/<package>.
set(TARNEL_INSTALL_PROGRAM_DIR "lib/tarnel" CACHE STRING "Program folder, relative to the prefix")
set(TARNEL_APPSTREAM_ID "org.example.tarnel")

set(program_dir_full ${CMAKE_INSTALL_PREFIX}/${TARNEL_INSTALL_PROGRAM_DIR})
set(TARNEL_LAUNCHER ${CMAKE_INSTALL_FULL_BINDIR}/tarnel)
set(TARNEL_PROGRAM_DIR_FULL ${program_dir_full})
if(TARNEL_LAUNCHER MATCHES "[ \t\"'\\\\$%`]")
    message(FATAL_ERROR "The desktop entry names ${TARNEL_LAUNCHER} unquoted: choose a prefix without spaces or quotes")
endif()
file(RELATIVE_PATH launcher_target ${CMAKE_INSTALL_FULL_BINDIR} ${program_dir_full}/tarnel)

# The release date of the newest changelog entry, for the metainfo and the man page.
file(STRINGS ${CMAKE_SOURCE_DIR}/debian/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT trailer MATCHES ", ([0-9]+) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "debian/changelog: no date in the newest entry's trailer line")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${month}" length)
if(length EQUAL 1)
    set(month 0${month})
endif()
set(day ${CMAKE_MATCH_1})
string(LENGTH "${day}" length)
if(length EQUAL 1)
    set(day 0${day})
endif()
set(TARNEL_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${day})

set(desktop_out ${CMAKE_BINARY_DIR}/desktop)
configure_file(${CMAKE_SOURCE_DIR}/data/desktop/tarnel.desktop.in ${desktop_out}/tarnel.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/desktop/tarnel.metainfo.xml.in
               ${desktop_out}/${TARNEL_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/docs/tarnel.1.in ${desktop_out}/tarnel.1 @ONLY)

install(TARGETS tarnel RUNTIME DESTINATION ${TARNEL_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/jazyky ${CMAKE_SOURCE_DIR}/data/zkratky
                  ${CMAKE_SOURCE_DIR}/data/koncovky
        DESTINATION ${TARNEL_INSTALL_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/nastaveni.ini ${CMAKE_SOURCE_DIR}/data/tarnel.svg
        DESTINATION ${TARNEL_INSTALL_PROGRAM_DIR})
install(CODE "
    set(link \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}/tarnel\")
    message(STATUS \"Installing: \${link} -> ${launcher_target}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"${launcher_target}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
")

install(FILES ${desktop_out}/tarnel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/tarnel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/tarnel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${desktop_out}/${TARNEL_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desktop_out}/tarnel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
