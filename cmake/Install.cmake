# `cmake --install build --prefix P` lays the program out as Linux desktops
# and packagers expect (GNUInstallDirs):
#   P/bin/orvelin                                 the program
#   P/share/orvelin/{language,help}               its packs and help pages
#   P/share/applications/<id>.desktop             the desktop entry
#   P/share/icons/hicolor/*/apps/<id>.{png,svg}   the theme icons
#   P/share/metainfo/<id>.metainfo.xml            the software-centre data
#   P/share/man/man1/orvelin.1                    the manual page
# Everything is an ordinary file that install_manifest.txt lists. The program
# finds its shared folder from its own place (bin/../share/orvelin), so a tree
# installed under any prefix works; the build tree keeps language/ and help/
# beside the program, where they are looked for first.
include(GNUInstallDirs)

# The reverse-DNS id: desktop entry, icon and AppStream component name.
set(ORVELIN_APP_ID com.zevrant.Orvelin)
set(orvelin_data_dir ${CMAKE_INSTALL_DATADIR}/orvelin)

# Where the shared folder lies seen from the program's folder.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_DATADIR}")
    file(RELATIVE_PATH orvelin_data_from_bin "${CMAKE_INSTALL_FULL_BINDIR}"
         "${CMAKE_INSTALL_FULL_DATADIR}/orvelin")
else()
    file(RELATIVE_PATH orvelin_data_from_bin "/${CMAKE_INSTALL_BINDIR}" "/${orvelin_data_dir}")
endif()
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/app/Installation.cpp
    DIRECTORY ${PROJECT_SOURCE_DIR}/src/app
    PROPERTIES COMPILE_DEFINITIONS
        "ORVELIN_APP_ID=\"${ORVELIN_APP_ID}\";ORVELIN_DATA_FROM_BIN=\"${orvelin_data_from_bin}\"")

install(TARGETS orvelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(folder language help)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${folder})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder} DESTINATION ${orvelin_data_dir}
                PATTERN "*.py" EXCLUDE PATTERN "CMakeLists.txt" EXCLUDE)
    endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/${ORVELIN_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/${ORVELIN_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 128)
    install(FILES ${PROJECT_BINARY_DIR}/icons/${size}/orvelin.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${ORVELIN_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/128.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ORVELIN_APP_ID}.svg)

configure_file(${PROJECT_SOURCE_DIR}/res/man/orvelin.1.in ${PROJECT_BINARY_DIR}/man/orvelin.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/man/orvelin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
