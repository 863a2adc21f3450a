# A Debian package: cpack -G DEB in a Release build folder.
set(CPACK_PACKAGE_NAME "kotoven")
set(CPACK_PACKAGE_VENDOR "Kotoven")
set(CPACK_PACKAGE_CONTACT "Kotoven developers <kotoven@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Japanese postal address lists with postal code lookup and map search")
set(CPACK_PACKAGE_DESCRIPTION "Kotoven keeps Japanese postal address lists in a grid, looks up postal codes\nand addresses from the Japanese postal dictionary, shows records on the map\nservice in a built-in browser and reads and writes Shift_JIS CSV files.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries dpkg-shlibdeps finds: the WebEngine helper process,
# the platform plugins, the postal dictionary and a Japanese font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, qt6-qpa-plugins, libqt6svg6, skkdic-extra, fonts-noto-cjk, libxlsxwriter4")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils, fcitx5-mozc")
include(CPack)
