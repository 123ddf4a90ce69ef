# A Debian package: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME tollwick)
set(CPACK_PACKAGE_VENDOR "Tollwick developers")
set(CPACK_PACKAGE_CONTACT "Tollwick developers <tollwick@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small Japanese desk alarm")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the shared libraries: the window system plugin and a Japanese font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_GENERATOR DEB)
include(CPack)
