#include "HandoffFile.h"

#include <sys/stat.h>

namespace velfetch {

bool ReplaceFileContent(const vel::Folder& folder, const std::string& name, std::span<const std::uint8_t> bytes) {
    // Readable by the player like any file it writes itself.
    return folder.replace(name, bytes, 0644);
}

void RemoveLeftoverTemporaries(const vel::Folder& folder, std::initializer_list<const char*> targets) {
    for (const std::string& name : folder.names())
        for (const char* target : targets)
            if (vel::Folder::isTemporaryOf(name, target) && folder.isFile(name)) folder.remove(name);
}

} // namespace velfetch
