# Band pages: layout, history wiring, labels, redraw coalescing.
orvanel_add_test(tst_tabpage SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_tabpage.cpp
  LIBS orvanel_spectrum_pages)
# KiVo ID boxes on the band pages' spectrum plots, rendered offscreen.
orvanel_add_test(tst_kivoidoverlay SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_kivoidoverlay.cpp
  LIBS orvanel_spectrum_pages orvanel_kivo_core orvanel_resources)
# Zoom, trace curves and scales of the band pages' plots.
orvanel_add_test(tst_plotaids SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_plotaids.cpp
  LIBS orvanel_spectrum_pages orvanel_resources)
