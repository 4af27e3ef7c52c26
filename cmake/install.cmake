# Installation and the Debian package. Included last from the top-level CMakeLists.txt, so
# that every program defined above (lumora_record, lumora_slide_agent once it exists) is
# known here. `scripts/package` builds the package from a Release build.
include(GNUInstallDirs)

set(LUMORA_APP_ID org.lumora.Record)
set(LUMORA_PACKAGE_NAME lumora-record)
set(LUMORA_PROJECT_URL "https://lumora.invalid/lumora-record" CACHE STRING
    "Web address of the project: the package's homepage; the AppStream screenshots are its docs/screenshots/*.png")
set(LUMORA_MAINTAINER "Lumora maintainers <maintainers@users.noreply.c-seed-46426908.example>" CACHE STRING
    "Maintainer named in the Debian package")
set(LUMORA_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)

# The programs.
install(TARGETS lumora_record RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET lumora_slide_agent)
  install(TARGETS lumora_slide_agent RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Menu entry, file type, icons, AppStream description.
install(FILES ${LUMORA_DESKTOP_DIR}/${LUMORA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${LUMORA_DESKTOP_DIR}/${LUMORA_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${LUMORA_APP_ID}.xml)
install(DIRECTORY ${LUMORA_DESKTOP_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
configure_file(${LUMORA_DESKTOP_DIR}/${LUMORA_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${LUMORA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${LUMORA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual pages are made from --help and --version of the built program: English in
# man1, Chinese in zh_CN/man1 (the program's help follows LANGUAGE).
find_program(LUMORA_HELP2MAN help2man REQUIRED)
find_program(LUMORA_GZIP gzip REQUIRED)
set(LUMORA_MANPAGES "")
foreach(lang en zh_CN)
  if(lang STREQUAL "en")
    set(include ${LUMORA_DESKTOP_DIR}/lumora_record.h2m)
    set(dir ${PROJECT_BINARY_DIR}/man/man1)
    set(installdir ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    set(include ${LUMORA_DESKTOP_DIR}/lumora_record.${lang}.h2m)
    set(dir ${PROJECT_BINARY_DIR}/man/${lang}/man1)
    set(installdir ${CMAKE_INSTALL_MANDIR}/${lang}/man1)
  endif()
  set(page ${dir}/lumora_record.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY LC_ALL=C.UTF-8
            LANGUAGE=${lang}
            ${LUMORA_HELP2MAN} --locale=C.UTF-8 --no-info --no-discard-stderr --section=1
            --include=${include} --output=${page} $<TARGET_FILE:lumora_record>
    COMMAND ${LUMORA_GZIP} -9nf ${page}
    DEPENDS lumora_record ${include}
    COMMENT "Manual page ${lang}/lumora_record.1 from --help"
    VERBATIM)
  list(APPEND LUMORA_MANPAGES ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${installdir})
endforeach()
add_custom_target(lumora_manpage ALL DEPENDS ${LUMORA_MANPAGES})

# What Debian wants beside every package: the copyright file and the changelog.
set(LUMORA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${LUMORA_PACKAGE_NAME})
install(FILES ${LUMORA_DESKTOP_DIR}/copyright DESTINATION ${LUMORA_DOC_DIR})
configure_file(${LUMORA_DESKTOP_DIR}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND ${LUMORA_GZIP} -9nkf ${PROJECT_BINARY_DIR}/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/changelog
  VERBATIM)
add_custom_target(lumora_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${LUMORA_DOC_DIR})

# The Debian package (cpack -G DEB in a Release build; see scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LUMORA_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${LUMORA_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumora")
set(CPACK_PACKAGE_CONTACT ${LUMORA_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lecture recorder and editor for teachers (Lumora录课)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lumora录课 records a rectangle of the screen, or a slide show shown inside
the program, together with the microphone, while the teacher draws over
the picture with a pen and an eraser. The recordings are edited on a
timeline (delete spans, insert recordings and other videos, undo and
redo), previewed, saved as one packed .lsn project file and exported as
one MP4 video. The user interface is in Chinese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${LUMORA_PROJECT_URL})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LUMORA_MAINTAINER})
# Libraries found by dpkg-shlibdeps, plus the tools the program starts and the VLC plug-ins
# that play the preview; the slide show needs LibreOffice and Chinese fonts. On Wayland
# desktops the screen comes from the desktop portal as a PipeWire stream: the PipeWire client
# modules, and a portal with the desktop's own back end (GNOME, KDE, wlroots, GTK).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, vlc-plugin-base, libpipewire-0.3-modules")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-impress, fonts-noto-cjk, qt6-translations-l10n, \
xdg-desktop-portal, xdg-desktop-portal-gnome | xdg-desktop-portal-kde | xdg-desktop-portal-backend")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
