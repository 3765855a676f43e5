# Widgets-free spectrum core: history operations and statistics, compared
# with the plain reference loop in referencestatistics.h.
orvanel_add_test(tst_bandhistory
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_bandhistory.cpp
  LIBS orvanel_spectrum_core)
orvanel_add_test(tst_spectrumstatistics
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_spectrumstatistics.cpp
          ${CMAKE_CURRENT_LIST_DIR}/referencestatistics.h
  LIBS orvanel_spectrum_core)
orvanel_add_test(tst_overloadwatch
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_overloadwatch.cpp
  LIBS orvanel_spectrum_core)
