# SPDX-License-Identifier: GPL-3.0-or-later
# Installed: the executable and the cascades share one folder, as the program
# looks for them beside itself; bin/exam-photo is a link to it, which
# the program resolves to its real folder.
set(EXAM_APP_DIR lib/exam-photo)
set(EXAM_DESKTOP_DIR ${CMAKE_CURRENT_LIST_DIR}/desktop)
install(TARGETS exam-photo RUNTIME DESTINATION ${EXAM_APP_DIR})
# A stripped install (the package's) drops .comment and .note as well, as
# Debian's own packages do; plain strip keeps them.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${EXAM_APP_DIR}/exam-photo\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
install(FILES ${FACE_CASCADE_FILE} ${EYE_CASCADE_FILE} DESTINATION ${EXAM_APP_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-bin)
file(CREATE_LINK ../${EXAM_APP_DIR}/exam-photo ${CMAKE_BINARY_DIR}/install-bin/exam-photo SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-bin/exam-photo DESTINATION bin)
# No maintainer scripts: the dpkg file triggers of desktop-file-utils
# (share/applications) and hicolor-icon-theme (share/icons/hicolor) refresh
# the desktop database and the icon cache when the package lands.
install(FILES ${EXAM_DESKTOP_DIR}/exam-photo.desktop DESTINATION share/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/pictures/icon.png DESTINATION share/icons/hicolor/32x32/apps RENAME exam-photo.png)
install(FILES ${EXAM_DESKTOP_DIR}/exam-photo.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${EXAM_DESKTOP_DIR}/org.example.exam_photo.metainfo.xml DESTINATION share/metainfo)
install(FILES ${EXAM_DESKTOP_DIR}/copyright DESTINATION share/doc/exam-photo)
# A native Debian package carries its changelog gzipped at -9, without a
# time stamp, so that rebuilds give the same bytes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${EXAM_DESKTOP_DIR}/changelog)
execute_process(COMMAND gzip -9 -n -c ${EXAM_DESKTOP_DIR}/changelog
  OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION share/doc/exam-photo)
# The manual page the same way: Debian wants it compressed and reproducible.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${EXAM_DESKTOP_DIR}/exam-photo.1)
execute_process(COMMAND gzip -9 -n -c ${EXAM_DESKTOP_DIR}/exam-photo.1
  OUTPUT_FILE ${CMAKE_BINARY_DIR}/exam-photo.1.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/exam-photo.1.gz DESTINATION share/man/man1)

# `cpack -G DEB` in the build folder makes a Debian package.
set(CPACK_PACKAGE_NAME exam-photo)
set(CPACK_PACKAGE_VENDOR "exam-photo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Makes the upload photo of an online exam registration from a JPEG portrait")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "exam-photo developers <exam-photo@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_PACKAGE_DESCRIPTION "A candidate reads a JPEG portrait, zooms and drags it under a fixed
200 x 280 frame and crops it; the tool checks the background, the bottom
edge and the face, encodes the photo within 30720 bytes and saves it with
a nine-digit upload tag.")
# The package carries the program, not its debugging information.
set(CPACK_STRIP_FILES ON)
# The shared libraries (Qt 6, OpenCV, libjpeg) are found by dpkg-shlibdeps;
# the Chinese texts need a CJK font. The cascades travel inside the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
