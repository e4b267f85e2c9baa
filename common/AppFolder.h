#pragma once
// The folder of the running program, where the programs, the decoder library,
// its tag plug-in and the help file live together (the hand-off files, too,
// when the user can write there: HandoffFolder.h).
#include <string>

namespace vel {

// No trailing separator. Computed once from the executable's location.
std::string appFolder();

// Folder + "/" + name, appended as plain text.
std::string appFile(const std::string& name);

// Tests point the programs at a temporary folder.
void setAppFolderForTesting(std::string folder);

} // namespace vel
