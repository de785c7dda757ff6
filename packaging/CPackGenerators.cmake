# Read by cpack once per generator: where each package puts the installed tree, and which parts it
# takes.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL OFF)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # One release folder, paths relative to it, the scripts included: what the updater unpacks and
  # what install.sh copies into versions/<version>.
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL Unspecified userfolder)
  set(CPACK_ARCHIVE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME})
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
