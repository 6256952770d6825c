# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME modelviewer)
set(CPACK_PACKAGE_VENDOR "The modelviewer developers")
set(CPACK_PACKAGE_CONTACT "The modelviewer developers <modelviewer@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer of 3DS models, with thumbnails for file managers")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Reads binary 3DS mesh files with its own bounds-checked reader and shows"
  "every model lit, textured, animated and spinning in an OpenGL window, to"
  "be turned, moved and zoomed with the mouse. It writes pictures and square"
  "transparent thumbnails without any display, so that file managers show"
  "3DS files as what they hold.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE
  OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB)
include(CPack)
