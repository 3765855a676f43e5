# Recordings, snapshots and project information. The Widgets-free part (the
# ".vozi" stream, reading, file names, page-type rule, remembered directories)
# is tested without a display; the dialogs and the save/open/snapshot flows
# sit on top of it.
add_library(orvanel_recording STATIC
  ${CMAKE_CURRENT_LIST_DIR}/recordingstream.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingstream.h
  ${CMAKE_CURRENT_LIST_DIR}/recordingio.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingio.h
  ${CMAKE_CURRENT_LIST_DIR}/recordinglog.h
)
target_include_directories(orvanel_recording PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orvanel_recording PUBLIC
  Qt5::Core Qt5::Gui orvanel_spectrum_core orvanel_wifi_core)

add_library(orvanel_recording_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/recordingui.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingui.h
  ${CMAKE_CURRENT_LIST_DIR}/snapshot.cpp ${CMAKE_CURRENT_LIST_DIR}/snapshot.h
  ${CMAKE_CURRENT_LIST_DIR}/projectinfodialog.cpp ${CMAKE_CURRENT_LIST_DIR}/projectinfodialog.h
)
target_include_directories(orvanel_recording_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orvanel_recording_ui PUBLIC orvanel_recording orvanel_common Qt5::Widgets)

