# The shortcut side of the desktop layer: the shortcut value, its system-wide registration, the
# hold/tap gesture and the chord capture. Pure logic against the platform interfaces.
add_library(talvex_shortcut STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Shortcut.cpp ${CMAKE_CURRENT_LIST_DIR}/Shortcut.h
  ${CMAKE_CURRENT_LIST_DIR}/GlobalShortcut.cpp ${CMAKE_CURRENT_LIST_DIR}/GlobalShortcut.h
  ${CMAKE_CURRENT_LIST_DIR}/DictationShortcutGesture.cpp ${CMAKE_CURRENT_LIST_DIR}/DictationShortcutGesture.h
  ${CMAKE_CURRENT_LIST_DIR}/ModifierChordCapture.cpp ${CMAKE_CURRENT_LIST_DIR}/ModifierChordCapture.h
)
target_include_directories(talvex_shortcut PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_shortcut PUBLIC talvex_platform Qt6::Core)
