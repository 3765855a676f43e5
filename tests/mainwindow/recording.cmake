# Tests of recordings, snapshots and project information.
if(TARGET orvanel_recording)
  orvanel_add_test(tst_recordingstream
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordingstream.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
    LIBS orvanel_recording)
  orvanel_add_test(tst_recordingio
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recordingio.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingtestdata.h
    LIBS orvanel_recording)
endif()
