# talvex_onboarding: the onboarding window with its four steps, the texts it shows as plain
# functions of the controller's state, and the window's owner. Reuses the settings window's
# shortcut recorder row, layout helpers and icons.
add_library(talvex_onboarding STATIC
  ${CMAKE_CURRENT_LIST_DIR}/OnboardingLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/OnboardingLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/OnboardingServices.h
  ${CMAKE_CURRENT_LIST_DIR}/OnboardingSidebar.cpp ${CMAKE_CURRENT_LIST_DIR}/OnboardingSidebar.h
  ${CMAKE_CURRENT_LIST_DIR}/OnboardingTexts.cpp ${CMAKE_CURRENT_LIST_DIR}/OnboardingTexts.h
  ${CMAKE_CURRENT_LIST_DIR}/PermissionsPage.cpp ${CMAKE_CURRENT_LIST_DIR}/PermissionsPage.h
  ${CMAKE_CURRENT_LIST_DIR}/PracticePage.cpp ${CMAKE_CURRENT_LIST_DIR}/PracticePage.h
  ${CMAKE_CURRENT_LIST_DIR}/SetupWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/SetupWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/ShortcutPage.cpp ${CMAKE_CURRENT_LIST_DIR}/ShortcutPage.h
  ${CMAKE_CURRENT_LIST_DIR}/StatusRowView.cpp ${CMAKE_CURRENT_LIST_DIR}/StatusRowView.h
  ${CMAKE_CURRENT_LIST_DIR}/TalvexOnboarding.cpp ${CMAKE_CURRENT_LIST_DIR}/TalvexOnboarding.h
  ${CMAKE_CURRENT_LIST_DIR}/WelcomePage.cpp ${CMAKE_CURRENT_LIST_DIR}/WelcomePage.h
)
target_include_directories(talvex_onboarding PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_onboarding PUBLIC talvex_settings talvex_core talvex_platform Qt6::Widgets
                                        QCoro6::Core)
