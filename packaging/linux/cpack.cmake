# SPDX-License-Identifier: MIT
# The Debian package: `cpack --config build/linux/CPackConfig.cmake` after a build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linesel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "linesel maintainers <linesel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${LINESEL_TARGET_HOST} line selector")
set(CPACK_PACKAGE_DESCRIPTION
    "A small window that chooses through which server line ${LINESEL_TARGET_HOST} is reached, by
editing /etc/hosts. Saving needs root: the menu entry's action “以管理员身份运行” starts it
through pkexec.")
# The same prefix as `cmake --install`: the menu entry and the policy name the binary's full path.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_STRIP_FILES ON)
include(CPack)
