# talvex_x11_delivery: XTest keystrokes, the EWMH workspace and the Qt clipboard.
add_library(talvex_x11_delivery STATIC
  ${CMAKE_CURRENT_LIST_DIR}/X11KeyboardPoster.cpp ${CMAKE_CURRENT_LIST_DIR}/X11KeyboardPoster.h
  ${CMAKE_CURRENT_LIST_DIR}/X11Workspace.cpp ${CMAKE_CURRENT_LIST_DIR}/X11Workspace.h
  ${CMAKE_CURRENT_LIST_DIR}/QtClipboard.cpp ${CMAKE_CURRENT_LIST_DIR}/QtClipboard.h
)
target_include_directories(talvex_x11_delivery PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_x11_delivery PUBLIC talvex_platform talvex_xcb talvex_xdg Qt6::Gui)
