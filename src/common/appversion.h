#pragma once

//! The program's own version, shown in the status bar and the About box.
inline constexpr char orvanelApplicationVersion[] = "1.0.0.9.0.281";
