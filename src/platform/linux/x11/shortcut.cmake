# Global shortcut on X11: hot keys as root-window key grabs, modifier watching from XInput 2 raw
# events, and key translation into the stored numbering.
pkg_check_modules(XKBCOMMON REQUIRED IMPORTED_TARGET xkbcommon)
add_library(talvex_x11_shortcut STATIC
  ${CMAKE_CURRENT_LIST_DIR}/X11EventConnection.cpp ${CMAKE_CURRENT_LIST_DIR}/X11EventConnection.h
  ${CMAKE_CURRENT_LIST_DIR}/X11HotKeyService.cpp ${CMAKE_CURRENT_LIST_DIR}/X11HotKeyService.h
  ${CMAKE_CURRENT_LIST_DIR}/X11ModifierWatcher.cpp ${CMAKE_CURRENT_LIST_DIR}/X11ModifierWatcher.h
  ${CMAKE_CURRENT_LIST_DIR}/X11KeyTranslation.cpp ${CMAKE_CURRENT_LIST_DIR}/X11KeyTranslation.h
  ${CMAKE_CURRENT_LIST_DIR}/X11KeyTranslator.cpp ${CMAKE_CURRENT_LIST_DIR}/X11KeyTranslator.h
  ${CMAKE_CURRENT_LIST_DIR}/X11ServerTime.h
)
target_include_directories(talvex_x11_shortcut PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_x11_shortcut PUBLIC talvex_platform talvex_xcb Qt6::Core PRIVATE PkgConfig::XKBCOMMON)
