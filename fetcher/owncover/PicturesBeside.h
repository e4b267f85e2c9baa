#pragma once
// Picture files that album folders often hold beside their tracks.
#include <string>
#include <vector>

namespace velfetch::owncover {

// The files in the track's folder named cover, folder, front, albumart or
// AlbumArtSmall with the extension .jpg, .jpeg or .png (any letter case), in
// the order they are tried: by name in that order, then by extension in that
// order, then by the file names' bytes.
std::vector<std::string> PicturesBeside(const std::string& trackPath);

} // namespace velfetch::owncover
