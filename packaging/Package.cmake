# The Debian package: `cmake --build build --target package` writes
# build/corvath-salvoran_VERSION_ARCH.deb, its dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvath-salvoran)
set(CPACK_PACKAGE_VENDOR "Corvath Salvoran")
set(CPACK_PACKAGE_CONTACT "Corvath Salvoran maintainers <maintainers@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Lists the deleted files of an NTFS volume, a block device or an image file, and restores their content into a folder. The volume is only ever read. Comes as a desktop program, corvath-salvoran, and a command line, salvoran.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libewf is loaded when an E01 image is first read, where dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libewf2)
if(SALVORAN_BUILD_GUI)
  # Qt loads its platform plugins at run time, where dpkg-shlibdeps cannot see them: without one
  # the window cannot open.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, qt6-qpa-plugins")
endif()
# Opens devices for users who may not read them; both programs do without it, and say so.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udisks2)
if(SALVORAN_BUILD_GUI)
  # The preview reads TIFF and WebP pictures through these plugins, loaded at run time too.
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", qt6-image-formats-plugins")
endif()
include(CPack)
