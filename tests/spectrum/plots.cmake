# Tests of the spectrum plots, colour maps and rasters. The resources object
# library brings the built-in colour file.
set(_t ${CMAKE_CURRENT_LIST_DIR})
orvanel_add_test(tst_customcolors SOURCES ${_t}/tst_customcolors.cpp
  LIBS orvanel_spectrum_plots orvanel_resources)
orvanel_add_test(tst_tnwmatrixrasterdata SOURCES ${_t}/tst_tnwmatrixrasterdata.cpp
  LIBS orvanel_spectrum_plots)
orvanel_add_test(tst_spectroplot SOURCES ${_t}/tst_spectroplot.cpp ${_t}/dialogscript.h
  LIBS orvanel_spectrum_plots orvanel_resources)
orvanel_add_test(tst_waterfallplot SOURCES ${_t}/tst_waterfallplot.cpp ${_t}/dialogscript.h
  LIBS orvanel_spectrum_plots orvanel_resources)
orvanel_add_test(tst_plotrender SOURCES ${_t}/tst_plotrender.cpp
  LIBS orvanel_spectrum_plots orvanel_resources)
orvanel_add_test(tst_rasterspectrogram SOURCES ${_t}/tst_rasterspectrogram.cpp
  LIBS orvanel_spectrum_plots orvanel_resources)
unset(_t)
orvanel_add_test(tst_wifioverlay SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_wifioverlay.cpp
  LIBS orvanel_spectrum_plots)
orvanel_add_test(tst_renderfidelity SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_renderfidelity.cpp
  LIBS orvanel_spectrum_plots orvanel_resources)
