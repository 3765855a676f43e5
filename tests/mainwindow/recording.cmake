# Tests of recordings, snapshots and project information.
orvanel_add_test(tst_recordingstream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordingstream.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
  LIBS orvanel_recording)
orvanel_add_test(tst_recordingio
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordingio.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
  LIBS orvanel_recording)
orvanel_add_test(tst_recordingui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordingui.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
  LIBS orvanel_recording_ui)
orvanel_add_test(tst_projectinfodialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_projectinfodialog.cpp
  LIBS orvanel_recording_ui)
orvanel_add_test(tst_snapshot SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_snapshot.cpp
  LIBS orvanel_recording_ui orvanel_spectrum_pages orvanel_resources)
orvanel_add_test(tst_recordingpages
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordingpages.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
  LIBS orvanel_recording orvanel_spectrum_pages orvanel_resources)
orvanel_add_test(tst_mainwindowrecording
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindowrecording.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
  LIBS orvanel_mainwindow orvanel_resources)
