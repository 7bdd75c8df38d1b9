# The Debian package, made from the install rules by CPack (scripts/package.sh runs it). Its
# library dependencies are computed from the programs by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavvel)
set(CPACK_PACKAGE_VERSION ${TAVVEL_MAIN_SHORT_VERSION})
# A revision of our own packaging: the version then matches the entry of changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TAVVEL_DEBIAN_RELEASE})
set(CPACK_PACKAGE_VENDOR Zembo)
set(CPACK_PACKAGE_CONTACT "Tavvel developers <tavvel@zembo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live video wallpaper for the desktop")
# The summary is the synopsis line; this is the text below it, each line indented by CPack.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavvel plays a video as the desktop wallpaper, behind all windows and on every
screen. Its main window holds a library of local, online and downloading
videos; a status-bar menu pauses, mutes or quits the wallpaper.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${TAVVEL_WEBSITE_URL})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Only what the install rules put in place: no test or benchmark program is installed.
include(CPack)
