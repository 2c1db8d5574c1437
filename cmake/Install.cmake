# What `cmake --install` puts where, in the GNU layout under CMAKE_INSTALL_PREFIX: the
# programs in bin/; for the window a desktop entry, its icon in every size and AppStream
# metadata, so that menus and software centres show it; a manual page for each program.
include(GNUInstallDirs)

# The window's one name towards the desktop: desktop entry, icon and metadata files.
set(STEPPERBENCH_APP_ID io.github.stepperbench.StepperBench)
# The day PROJECT_VERSION was released; change it with the version.
set(STEPPERBENCH_RELEASE_DATE 2026-12-07)

set(programs stepperbench-sim stepperbench-cli)
if(TARGET stepperbench)
    list(APPEND programs stepperbench)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages carry the version and date, and go in gzipped as man-db and Debian expect.
find_program(STEPPERBENCH_GZIP gzip REQUIRED)
set(man_dir ${PROJECT_BINARY_DIR}/data/man)
set(man_pages)
foreach(program IN LISTS programs)
    configure_file(${PROJECT_SOURCE_DIR}/data/man/${program}.1.in ${man_dir}/${program}.1 @ONLY)
    add_custom_command(OUTPUT ${man_dir}/${program}.1.gz
        COMMAND ${STEPPERBENCH_GZIP} -9 --no-name --force --keep ${program}.1
        WORKING_DIRECTORY ${man_dir}
        DEPENDS ${man_dir}/${program}.1
        COMMENT "Compressing the manual page of ${program}")
    list(APPEND man_pages ${man_dir}/${program}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The test-plan reference and the example plans, which the manual page points to.
install(FILES ${PROJECT_SOURCE_DIR}/docs/test-plans.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/stepperbench)
install(FILES ${PROJECT_SOURCE_DIR}/examples/end-of-line.toml ${PROJECT_SOURCE_DIR}/examples/soak.toml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/stepperbench/examples)

if(TARGET stepperbench)
    set(data ${PROJECT_SOURCE_DIR}/data)
    install(FILES ${data}/${STEPPERBENCH_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    configure_file(${data}/${STEPPERBENCH_APP_ID}.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/data/${STEPPERBENCH_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/data/${STEPPERBENCH_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${data}/icons/hicolor/scalable/apps/${STEPPERBENCH_APP_ID}.svg
            DESTINATION ${icons}/scalable/apps)
    # The PNGs are rendered from the SVG by scripts/icons and committed.
    foreach(size 16 32 48 64 128 256)
        install(FILES ${data}/icons/hicolor/${size}x${size}/apps/${STEPPERBENCH_APP_ID}.png
                DESTINATION ${icons}/${size}x${size}/apps)
    endforeach()
endif()
