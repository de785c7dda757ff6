# talvex_settings: the settings window with its tabs, the shortcut recorder row, the application
# chooser and the about window. Widgets over the controller; the logic they show lives in plain
# classes beside them.

# Web addresses are deployment settings, compiled in (help and feedback: see CMakeLists.txt).
set(TALVEX_WEBSITE_URL "https://talvex.example.com/" CACHE STRING "The product web site")
set(TALVEX_TIP_URL "https://talvex.example.com/tip" CACHE STRING "The page for an optional tip")
set(TALVEX_TIP_SERVICE "Tip Jar" CACHE STRING "The name of the tip service, shown on its link")
set(TALVEX_APPS_URL "https://quindlark.example.com/apps" CACHE STRING "The maker's app catalogue")
set(TALVEX_NEWSLETTER_URL "https://quindlark.example.com/newsletter" CACHE STRING "The maker's newsletter")
set(TALVEX_SOCIAL_URL "https://social.example.com/@quindlark" CACHE STRING "The maker's social-media profile")
set(TALVEX_SOCIAL_NAME "Mastodon" CACHE STRING "The name of the social network, shown on its link")
configure_file(${CMAKE_CURRENT_LIST_DIR}/WebAddresses.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/generated/shell/WebAddresses.h @ONLY)

add_library(talvex_settings STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AboutLinks.cpp ${CMAKE_CURRENT_LIST_DIR}/AboutLinks.h
  ${CMAKE_CURRENT_LIST_DIR}/AboutWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/AboutWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationChoices.cpp ${CMAKE_CURRENT_LIST_DIR}/ApplicationChoices.h
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationChooser.cpp ${CMAKE_CURRENT_LIST_DIR}/ApplicationChooser.h
  ${CMAKE_CURRENT_LIST_DIR}/ControllerShortcutRecording.h
  ${CMAKE_CURRENT_LIST_DIR}/DictionarySettingsTab.cpp ${CMAKE_CURRENT_LIST_DIR}/DictionarySettingsTab.h
  ${CMAKE_CURRENT_LIST_DIR}/GeneralSettingsTab.cpp ${CMAKE_CURRENT_LIST_DIR}/GeneralSettingsTab.h
  ${CMAKE_CURRENT_LIST_DIR}/ModesSettingsTab.cpp ${CMAKE_CURRENT_LIST_DIR}/ModesSettingsTab.h
  ${CMAKE_CURRENT_LIST_DIR}/PreferenceEdits.cpp ${CMAKE_CURRENT_LIST_DIR}/PreferenceEdits.h
  ${CMAKE_CURRENT_LIST_DIR}/SettingsIcons.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsIcons.h
  ${CMAKE_CURRENT_LIST_DIR}/SettingsLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/SettingsServices.h
  ${CMAKE_CURRENT_LIST_DIR}/SettingsTexts.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsTexts.h
  ${CMAKE_CURRENT_LIST_DIR}/SettingsWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecorderRow.cpp ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecorderRow.h
  ${CMAKE_CURRENT_LIST_DIR}/TalvexAbout.cpp ${CMAKE_CURRENT_LIST_DIR}/TalvexAbout.h
  ${CMAKE_CURRENT_LIST_DIR}/TalvexSettings.cpp ${CMAKE_CURRENT_LIST_DIR}/TalvexSettings.h
)
file(GLOB settings_icons RELATIVE ${CMAKE_CURRENT_LIST_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/icons/*.svg)
qt_add_resources(talvex_settings talvex_settings_icons PREFIX /talvex/settings BASE ${CMAKE_CURRENT_LIST_DIR}
                 FILES ${settings_icons})
target_include_directories(talvex_settings PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR}
                                                  ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_link_libraries(talvex_settings PUBLIC talvex_core talvex_shortcut talvex_platform talvex_updates_shell Qt6::Widgets
                                      PRIVATE ICU::uc ICU::i18n)
