// Compiled only by the boundary tests: it must fail to find PROBE_HEADER.
#include PROBE_HEADER
