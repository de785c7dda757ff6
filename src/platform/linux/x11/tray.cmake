# talvex_x11_tray: whether an XEmbed system tray runs, watched without creating a tray icon.
add_library(talvex_x11_tray STATIC
  ${CMAKE_CURRENT_LIST_DIR}/X11EmbeddedTray.cpp ${CMAKE_CURRENT_LIST_DIR}/X11EmbeddedTray.h
)
target_include_directories(talvex_x11_tray PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_x11_tray PUBLIC talvex_platform talvex_xcb Qt6::Core)
