#pragma once
// The search text of a MusicBrainz recording search (Lucene query syntax).
#include "TrackWords.h"

#include <string>
#include <string_view>

namespace velfetch::opencatalog {

// Every character with a meaning in the query syntax gets a backslash.
std::string EscapeLucene(std::string_view text);

// Tagged: recording:"<title>" AND artist:"<artist>". Otherwise the name as
// plain words, escaped and in ASCII lower case so that no word reads as an
// operator (AND, OR, NOT); the service ignores case anyway.
std::string RecordingQuery(const TrackWords& words);

} // namespace velfetch::opencatalog
