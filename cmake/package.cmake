# The download for Windows users: the program, a README for them and the Help button's script, zipped by CPack.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(PACKAGE_SYSTEM win32)
else()
    set(PACKAGE_SYSTEM win64)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME "VLR-Loader")
set(CPACK_PACKAGE_VENDOR "VLR Loader")
set(CPACK_PACKAGE_FILE_NAME "VLR-Loader-${PROJECT_VERSION}-${PACKAGE_SYSTEM}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# The three files at the top of the zip: "Extract All" already makes a folder named after it.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
# CPack writes the zip's checksum beside it (<zip>.sha256), for the user to check the download against.
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(PACKAGE_ZIP ${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.zip)

# Windows users open these with Notepad and cmd.exe: CR LF whatever the checkout's line ends.
# README.txt names the zip, so it is written once the package's file name is set.
set(PACKAGE_FILES_DIR ${CMAKE_BINARY_DIR}/package-files)
configure_file(${CMAKE_SOURCE_DIR}/packaging/README.txt.in ${PACKAGE_FILES_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/packaging/Help.bat.in ${PACKAGE_FILES_DIR}/Help.bat @ONLY NEWLINE_STYLE CRLF)

install(TARGETS loader RUNTIME DESTINATION .)
install(FILES ${PACKAGE_FILES_DIR}/README.txt ${PACKAGE_FILES_DIR}/Help.bat DESTINATION .)
include(CPack)
