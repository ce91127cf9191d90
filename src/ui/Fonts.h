// The design's fonts as GDI is asked for them at a DPI: by the window, and by its tests, which
// measure the texts in them.
#pragma once

#include "platform/Win32.h"
#include "ui/Layout.h"

namespace quenlith {

inline LOGFONTW LogFontOf(const layout::FontSpec& design, int dpi) {
    LOGFONTW font = {};
    font.lfHeight = -::MulDiv(design.hundredthsOfPoint, dpi, 7200);
    font.lfWeight = design.weight;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    // Where the face is missing, GDI's font mapper picks a face by these.
    font.lfPitchAndFamily = static_cast<BYTE>(
        VARIABLE_PITCH | (design.family == layout::Family::Serif ? FF_ROMAN : FF_SWISS));
    ::lstrcpynW(font.lfFaceName, design.face, LF_FACESIZE);
    return font;
}

} // namespace quenlith
