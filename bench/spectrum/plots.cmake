# Plot update figures at 720p, 1080p and 2160p (offscreen).
add_executable(bench_plots ${CMAKE_CURRENT_LIST_DIR}/bench_plots.cpp)
target_link_libraries(bench_plots PRIVATE orvanel_benchtarget orvanel_spectrum_plots orvanel_resources)
set_target_properties(bench_plots PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# What trace curves and markers add to a spectrum plot update.
add_executable(bench_plotaids ${CMAKE_CURRENT_LIST_DIR}/bench_plotaids.cpp)
target_link_libraries(bench_plotaids PRIVATE orvanel_benchtarget orvanel_spectrum_plots)
set_target_properties(bench_plotaids PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
