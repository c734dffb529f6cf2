# The Debian package of the Linux program, made by cpack in the native build:
#   cpack --config CPackConfig.cmake   ->   calquin_<version>_amd64.deb
# It holds the program, its man page and the README; nothing else of the tree is installed.
include(GNUInstallDirs)
install(TARGETS calquin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(calquin.1.in ${CMAKE_CURRENT_BINARY_DIR}/calquin.1 @ONLY) # with the version
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/calquin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/calquin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calquin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Morvane)
set(CPACK_PACKAGE_CONTACT "Calquin developers <calquin@morvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "send TI-85 variable files and backups over the $4 serial link")
# Lines of the long description as dpkg shows them (cpack indents each by one space).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Calquin sends TI-85 variable files (*.85?) and whole calculator backups\n"
    "from a PC to a TI-85 over the home-made \"$4 serial link\", whose two wires\n"
    "are tied to a serial port's RTS/DTR outputs and CTS/DSR inputs. Any serial\n"
    "device with modem lines will do: a built-in port, a USB adapter, an ACM\n"
    "device.")
# Written into CPackConfig.cmake as they are: quotes and $ would otherwise break it.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # calquin_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_RELEASE "")
# libstdc++ and libgcc are linked in: the C library is all the program needs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.36)")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
