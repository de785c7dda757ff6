# The tray: the menu model and its commands, waiting for a tray host, the icon and its menus, and the
# one-time notice when there is no tray. The pictures are bundled for desktops whose icon theme
# lacks the freedesktop names.
target_sources(talvex_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TrayMenuModel.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayMenuModel.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayIcons.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayIcons.h
  ${CMAKE_CURRENT_LIST_DIR}/UpdateChecks.cpp ${CMAKE_CURRENT_LIST_DIR}/UpdateChecks.h
  ${CMAKE_CURRENT_LIST_DIR}/MenuCommands.cpp ${CMAKE_CURRENT_LIST_DIR}/MenuCommands.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayMenu.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayMenu.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayAvailability.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayAvailability.h
  ${CMAKE_CURRENT_LIST_DIR}/StatusNotifierHostWatch.cpp ${CMAKE_CURRENT_LIST_DIR}/StatusNotifierHostWatch.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayHostWait.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayHostWait.h
  ${CMAKE_CURRENT_LIST_DIR}/MissingTrayNotice.cpp ${CMAKE_CURRENT_LIST_DIR}/MissingTrayNotice.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayIconView.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayIconView.h
  ${CMAKE_CURRENT_LIST_DIR}/SystemTray.cpp ${CMAKE_CURRENT_LIST_DIR}/SystemTray.h
)
qt_add_resources(talvex_shell talvex_tray_icons
  PREFIX /talvex/tray
  BASE ${PROJECT_SOURCE_DIR}/data/icons/tray
  FILES ${PROJECT_SOURCE_DIR}/data/icons/tray/ready.svg
        ${PROJECT_SOURCE_DIR}/data/icons/tray/recording.svg
        ${PROJECT_SOURCE_DIR}/data/icons/tray/attention.svg
)
