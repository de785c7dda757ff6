# The shortcut side of the desktop layer: the shortcut value, its system-wide registration, the
# hold/tap gesture, the chord capture and the recorder of a new shortcut. Pure logic against the
# platform interfaces.
add_library(talvex_shortcut STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Shortcut.cpp ${CMAKE_CURRENT_LIST_DIR}/Shortcut.h
  ${CMAKE_CURRENT_LIST_DIR}/GlobalShortcut.cpp ${CMAKE_CURRENT_LIST_DIR}/GlobalShortcut.h
  ${CMAKE_CURRENT_LIST_DIR}/DictationShortcutGesture.cpp ${CMAKE_CURRENT_LIST_DIR}/DictationShortcutGesture.h
  ${CMAKE_CURRENT_LIST_DIR}/ModifierChordCapture.cpp ${CMAKE_CURRENT_LIST_DIR}/ModifierChordCapture.h
  ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecorder.cpp ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecorder.h
  ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecordingController.h
)
target_include_directories(talvex_shortcut PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_shortcut PUBLIC talvex_platform Qt6::Core)
