# Debian's Qwt ships no CMake config; an imported target keeps its headers on
# -isystem so its own deprecation warnings stay out of a -Werror build.
find_path(QWT_INCLUDE_DIR NAMES qwt_plot.h PATH_SUFFIXES qwt REQUIRED)
find_library(QWT_LIBRARY NAMES qwt-qt5 REQUIRED)
add_library(Qwt::Qwt UNKNOWN IMPORTED)
set_target_properties(Qwt::Qwt PROPERTIES
  IMPORTED_LOCATION "${QWT_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${QWT_INCLUDE_DIR}"
  INTERFACE_LINK_LIBRARIES Qt5::Widgets)
