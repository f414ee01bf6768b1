# `make deb`: a Debian package of what `cmake --install` installs, below
# /usr.  The program finds its archiver libraries as ../lib/qvo/ relative
# to itself, so the prefix changes nothing in the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Qvo developers <qvo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert LZH, ZIP, CAB and RAR archives to LZH, ZIP or CAB")
# The summary is the first line of the package's description, this the rest.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Qvo converts archive files from one format to another, keeping every file,\n"
  "folder, name and timestamp.  It is made for shelves of old archives: LZH\n"
  "from Japanese Windows with Shift-JIS names, Amiga LHA, self-extractors,\n"
  "DOS and Windows ZIP files.  The desktop program qvo has a Japanese\n"
  "interface; qvo-convert converts from the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies from the libraries the program, the command line and the
# archiver libraries link to (the program opens the archiver libraries
# itself, so nothing links to them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
