# make package-windows: a zip with comterm.exe and a short README.
install(FILES ${CMAKE_SOURCE_DIR}/data/README-windows.txt DESTINATION . RENAME README.txt)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME comterm)
set(CPACK_SYSTEM_NAME windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
