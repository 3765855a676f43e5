# The band pages: one tab each, history plus the two plots and the time bar.
add_library(orvanel_spectrum_pages STATIC
  ${CMAKE_CURRENT_LIST_DIR}/tabpage.cpp ${CMAKE_CURRENT_LIST_DIR}/tabpage.h
  ${CMAKE_CURRENT_LIST_DIR}/plotaids.cpp ${CMAKE_CURRENT_LIST_DIR}/plotaids.h
  ${CMAKE_CURRENT_LIST_DIR}/tabpage900.cpp ${CMAKE_CURRENT_LIST_DIR}/tabpage900.h
  ${CMAKE_CURRENT_LIST_DIR}/tabpage2400.cpp ${CMAKE_CURRENT_LIST_DIR}/tabpage2400.h
)
target_include_directories(orvanel_spectrum_pages PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orvanel_spectrum_pages PUBLIC
  orvanel_spectrum_plots orvanel_spectrum_core orvanel_widgets orvanel_device orvanel_wifi
  Qt5::Widgets)
