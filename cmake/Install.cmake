# `cmake --install build --prefix P`: the program and the folders it reads
# beside itself go to P/lib/orvelin (the language packs are looked for next
# to the executable), P/bin/orvelin links to it, and the desktop entry and the
# theme icons go where desktops look for them.
set(orvelin_home lib/orvelin)
install(TARGETS orvelin RUNTIME DESTINATION ${orvelin_home})
foreach(folder language help)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${folder})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder} DESTINATION ${orvelin_home}
                PATTERN "*.py" EXCLUDE PATTERN "CMakeLists.txt" EXCLUDE)
    endif()
endforeach()
install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(REMOVE \"\${bin}/orvelin\")
    file(CREATE_LINK ../${orvelin_home}/orvelin \"\${bin}/orvelin\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/orvelin -> ../${orvelin_home}/orvelin\")
")
install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/orvelin.desktop DESTINATION share/applications)
foreach(size 48 128)
    install(FILES ${PROJECT_BINARY_DIR}/icons/${size}/orvelin.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/128.svg DESTINATION share/icons/hicolor/scalable/apps
        RENAME orvelin.svg)
