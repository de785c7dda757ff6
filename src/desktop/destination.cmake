# The delivery side of the desktop layer: capture of the target field and the paste into it.
add_library(talvex_destination STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Destination.cpp ${CMAKE_CURRENT_LIST_DIR}/Destination.h
  ${CMAKE_CURRENT_LIST_DIR}/PasteChord.cpp ${CMAKE_CURRENT_LIST_DIR}/PasteChord.h
)
target_include_directories(talvex_destination PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvex_destination PUBLIC talvex_platform Qt6::Widgets QCoro6::Core)
