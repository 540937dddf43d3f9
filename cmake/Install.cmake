# Installation and the Debian package. The program looks for its data (tips.txt) in
# ../share/zorvex5 beside its executable, so the layout below is the one it expects.
include(GNUInstallDirs)

install(TARGETS zorvex5 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(tool zorvex-cmd zorvex-pgp)
    if(TARGET ${tool})
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

if(EXISTS ${PROJECT_SOURCE_DIR}/res/tips.txt)
    install(FILES ${PROJECT_SOURCE_DIR}/res/tips.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvex5)
endif()
# The help pages are compiled into the program; an HTML copy is installed for reading outside it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorvex5/help
    FILES_MATCHING PATTERN "*.html")
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/zorvex5.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/dist/zorvex5.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/man/zorvex-cmd.1 ${PROJECT_SOURCE_DIR}/dist/man/zorvex-pgp.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvex5)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zorvex 5 developers <zorvex5@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop front end for PGP 2.6 style encryption over GnuPG")
set(CPACK_PACKAGE_DESCRIPTION
    "Encrypt, sign, clear-sign and decrypt files, editor text and whole directories, and manage keys, through PGP 2.6 style command lines run in a terminal window and carried out by GnuPG.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gnupg, xterm | x-terminal-emulator, xdg-utils, qt6-qpa-plugins")
# GnuPG 1.4 reads and writes PGP 2.x keys and messages; everything else works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnupg1")
include(CPack)
