# Widgets-free spectrum core: samples, history, time events, labels and the
# statistics. QwtInterval is used from its header alone (all inline), so the
# core needs Qwt's include directory but not its Widgets-linked library.
add_library(orvanel_spectrum_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/rfspectrumscan.h
  ${CMAKE_CURRENT_LIST_DIR}/projectinfodata.h
  ${CMAKE_CURRENT_LIST_DIR}/rfspectrumhistory.cpp ${CMAKE_CURRENT_LIST_DIR}/rfspectrumhistory.h
  ${CMAKE_CURRENT_LIST_DIR}/bandhistory.cpp ${CMAKE_CURRENT_LIST_DIR}/bandhistory.h
  ${CMAKE_CURRENT_LIST_DIR}/spectrumstatistics.cpp ${CMAKE_CURRENT_LIST_DIR}/spectrumstatistics.h
  ${CMAKE_CURRENT_LIST_DIR}/colorrange.cpp ${CMAKE_CURRENT_LIST_DIR}/colorrange.h
  ${CMAKE_CURRENT_LIST_DIR}/overloadwatch.cpp ${CMAKE_CURRENT_LIST_DIR}/overloadwatch.h
)
target_include_directories(orvanel_spectrum_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_include_directories(orvanel_spectrum_core SYSTEM PUBLIC ${QWT_INCLUDE_DIR})
target_link_libraries(orvanel_spectrum_core PUBLIC Qt5::Core Qt5::Gui orvanel_wifi_core
  orvanel_common)
