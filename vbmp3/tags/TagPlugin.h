#pragma once
// Finds and loads the tag plug-in (TagPluginApi.h) from the folder this
// library was loaded from, at the first call; it stays loaded from then on.
#include "TagPluginApi.h"

namespace vbmp3 {

class TagPlugin {
public:
    // The plug-in's read function; nullptr when the plug-in is missing or
    // unusable (the file then reads as having no such tag).
    static Vbmp3TagRead read();
    // The plug-in's gain function; nullptr likewise.
    static Vbmp3TagGain gain();
};

} // namespace vbmp3
