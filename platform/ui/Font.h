#pragma once

namespace platform::ui {

// A font as a dialog asks for it: the Windows face name (a backend maps it
// to a face it has) and the character height in pixels.
struct Font {
    const char* face = "Microsoft Sans Serif";
    int pixelHeight = 12;
    bool fixedPitch = false;
};

}  // namespace platform::ui
