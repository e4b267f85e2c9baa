#pragma once
// The search text of a MusicBrainz recording search (Lucene query syntax).
#include "TrackWords.h"

#include <string>
#include <string_view>

namespace velfetch::opencatalog {

// Every character with a meaning in the query syntax gets a backslash.
std::string EscapeLucene(std::string_view text);

// Tagged: recording:"<title>" AND artist:"<artist>". A field that may have
// been cut is asked for without its last word, which a phrase would need
// whole: the words before it as a phrase, and the word's letters (plain ASCII
// only, which the service's prefix search folds as it folds its index) as a
// prefix, e.g. recording:"Their Head" AND recording:kick*. Otherwise the name as
// plain words, escaped and in ASCII lower case so that no word reads as an
// operator (AND, OR, NOT); the service ignores case anyway.
std::string RecordingQuery(const TrackWords& words);

} // namespace velfetch::opencatalog
