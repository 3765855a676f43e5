# The spectrum and waterfall plots with their colour maps, rasters, pickers
# and scale draws (Qwt). The colour-file reader (customcolors) uses QtCore and
# QtGui only.
set(_p ${CMAKE_CURRENT_LIST_DIR})
add_library(orvanel_spectrum_plots STATIC
  ${_p}/customcolors.cpp ${_p}/customcolors.h
  ${_p}/colormapstops.h
  ${_p}/spectrocolormap.cpp ${_p}/spectrocolormap.h
  ${_p}/waterfallcolormap.cpp ${_p}/waterfallcolormap.h
  ${_p}/highlightcolormap.cpp ${_p}/highlightcolormap.h
  ${_p}/spectrogramdata.cpp ${_p}/spectrogramdata.h
  ${_p}/waterfalldata.cpp ${_p}/waterfalldata.h
  ${_p}/tnwmatrixrasterdata.cpp ${_p}/tnwmatrixrasterdata.h
  ${_p}/linearcolorlookup.cpp ${_p}/linearcolorlookup.h
  ${_p}/matrixgrid.cpp ${_p}/matrixgrid.h ${_p}/axistaps.h
  ${_p}/rasterspectrogram.cpp ${_p}/rasterspectrogram.h
  ${_p}/waterfallspectrogram.cpp ${_p}/waterfallspectrogram.h
  ${_p}/plotcanvas.cpp ${_p}/plotcanvas.h
  ${_p}/renderbands.cpp ${_p}/renderbands.h
  ${_p}/highlightspectrogram.cpp ${_p}/highlightspectrogram.h
  ${_p}/rightclickmachine.cpp ${_p}/rightclickmachine.h
  ${_p}/trackerbox.h
  ${_p}/sptrackpicker.cpp ${_p}/sptrackpicker.h
  ${_p}/wftrackpicker.cpp ${_p}/wftrackpicker.h
  ${_p}/timescaledraw.cpp ${_p}/timescaledraw.h
  ${_p}/frequencyscaledraw.cpp ${_p}/frequencyscaledraw.h
  ${_p}/tnwplotmarker.cpp ${_p}/tnwplotmarker.h
  ${_p}/notestyle.h
  ${_p}/plotcolorbar.cpp ${_p}/plotcolorbar.h
  ${_p}/plotprompts.cpp ${_p}/plotprompts.h
  ${_p}/deferredclick.cpp ${_p}/deferredclick.h
  ${_p}/kivoidoverlay.cpp ${_p}/kivoidoverlay.h
  ${_p}/wifichannelsscaledraw.cpp ${_p}/wifichannelsscaledraw.h
  ${_p}/wificurve.cpp ${_p}/wificurve.h
  ${_p}/wifimarker.cpp ${_p}/wifimarker.h
  ${_p}/spectroplot.cpp ${_p}/spectroplot.h
  ${_p}/waterfallplot.cpp ${_p}/waterfallplot.h
  ${_p}/plotzoom.cpp ${_p}/plotzoom.h
  ${_p}/tracecurves.cpp ${_p}/tracecurves.h
  ${_p}/scalemenus.cpp ${_p}/scalemenus.h
  ${_p}/spectrummarkers.cpp ${_p}/spectrummarkers.h
  ${_p}/markertable.cpp ${_p}/markertable.h
)
target_include_directories(orvanel_spectrum_plots PUBLIC ${_p})
target_link_libraries(orvanel_spectrum_plots
  PUBLIC orvanel_spectrum_core Qwt::Qwt Qt5::Widgets orvanel_common
  PRIVATE orvanel_kivo_core)
unset(_p)
# The raster's per-pixel pass is plain IEEE arithmetic over arrays; let the
# compiler vectorise it (no fast-math: the results stay bit for bit).
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/tnwmatrixrasterdata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rasterspectrogram.cpp
  ${CMAKE_CURRENT_LIST_DIR}/waterfallspectrogram.cpp PROPERTIES COMPILE_OPTIONS "-fvect-cost-model=dynamic")
