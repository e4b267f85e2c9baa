#pragma once
// The fetcher's one form, never shown: its load handler does the whole run.
#include "Amazon.h"
#include "Folder.h"
#include "HandoffFile.h"
#include "HttpFetch.h"
#include "OpenCatalogueSearch.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velfetch {

class frm_main {
public:
    // `folder` is where the hand-off files live (vel::openHandoffFolder()).
    explicit frm_main(vel::Folder folder, HttpSettings http = {});

    // Initialises the decoder library, looks up the cover of the track named by
    // the command-line tail (nothing at all for an empty tail) and unloads.
    void Form_Load(const std::string& commandTail);
    void Form_Unload();

    // The lookup for FileName: tag or cleaned file name, catalogue, search
    // engine, the user's own picture, open catalogues, and the clean-up of an
    // old cover when nothing is found.
    void FetchCover();
    bool SearchCatalogue(std::u16string_view artist, std::u16string_view title);
    bool SearchViaEngine(std::u16string_view artist, std::u16string_view title);
    // The picture in the track's tags or beside it: no request at all, and an
    // empty "asin", since no product goes with it.
    bool SearchOwnCover();
    // MusicBrainz with the Cover Art Archive, then iTunes, over HTTPS; a hit
    // writes a cover that fits the cover area and the release's ASIN (or an
    // empty "asin", so that an earlier track's identifier never stays). The
    // tag's album, when given, picks among a recording's releases.
    bool SearchOpenCatalogues(std::u16string_view artist, std::u16string_view title, std::u16string_view album = {});
    // False when the file could not be written (the old one then stays).
    bool WriteAsinFile(std::u16string_view text);
    // A hit's picture and its product identifier, the picture first; false,
    // with both files as they were, when the picture could not be written.
    bool SaveCover(std::span<const std::uint8_t> image, std::u16string_view asin);

    std::string FileName; // raw path bytes, as the operating system takes them
    std::string AsinFileName;
    std::string ImgFileName;
    Amazon amazon;
    opencatalog::OpenCatalogueSettings OpenCatalogues;
    // The open catalogues' answers kept between runs (empty: none kept), and
    // the folder of the files that pace requests across fetchers (empty: each
    // fetcher paces only its own); both opened by the private-folder rule.
    std::string AnswersFolder;
    std::string PaceFolder;
    // The whole lookup ends by then, whatever the servers do; a lookup that
    // reaches it ends as one that found nothing.
    std::chrono::milliseconds LookupTimeLimit{180000};
    // How a hand-off file is replaced whole (ReplaceFileContent; tests put a full disk here).
    std::function<bool(const vel::Folder&, const std::string&, std::span<const std::uint8_t>)> ReplaceFile =
        ReplaceFileContent;

private:
    // Downloads the image and saves it with `asin`; false (nothing written)
    // when the lookup's time ran out meanwhile or the picture could not be written.
    bool saveHit(std::u16string_view imageUrl, std::u16string_view asin);
    bool timeIsUp() const;

    vel::Folder folder_;
    HttpSettings http_;
};

} // namespace velfetch
