#pragma once

namespace orv {

// Every window's text in IPA P Gothic, the proportional Japanese font the installation brings,
// at the desktop's size. One font holds both the Latin and the Japanese text, so a window
// needs no search through the installed fonts for one that holds its Japanese glyphs (a good
// part of the first paint of the main window). Without the font the desktop's font stays.
void useProgramFont();

} // namespace orv
