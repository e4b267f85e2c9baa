#include "FetcherForm.h"

#include "AnsiCodec.h"
#include "CurlWebClient.h"
#include "HandoffContract.h"
#include "HandoffFile.h"
#include "OwnCover.h"
#include "Records.h"
#include "ServiceHosts.h"
#include "TextCodecs.h"
#include "TextUtil.h"
#include "TitleName.h"
#include "UserFolders.h"
#include "VBMP3.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace velfetch {

namespace {

std::string inFolder(const std::string& folder, const char* name) {
    return folder.empty() ? std::string() : folder + "/" + name;
}

} // namespace

frm_main::frm_main(vel::Folder folder, HttpSettings http)
    : amazon(http), AnswersFolder(inFolder(vel::userCacheFolder(), "answers")),
      PaceFolder(vel::userRuntimeFolder()), folder_(std::move(folder)), http_(std::move(http)) {}

void frm_main::Form_Load(const std::string& commandTail) {
    VBMP3::vbmp3_init();
    FileName = commandTail;
    AsinFileName = folder_.file(vel::kAsinFile);
    ImgFileName = folder_.file(vel::kCoverFile);
    if (!FileName.empty()) {
        RemoveLeftoverTemporaries(folder_, {vel::kCoverFile, vel::kAsinFile});
        vel::TrimQuotes(FileName);
        FetchCover();
    }
    Form_Unload();
}

void frm_main::Form_Unload() { VBMP3::vbmp3_free(); }

void frm_main::FetchCover() {
    vel::TagRecord tag;
    const bool tagRead = VBMP3::vbmp3_getFileTagInfoEX(vel::TrimSpaces(FileName), tag) != 0;
    std::u16string artist, title, album;
    if (tagRead) {
        artist = vel::CutAtNul(tag.Artist.str());
        title = vel::CutAtNul(tag.Title.str());
        album = vel::CutAtNul(tag.Album.str());
    }
    if (!tagRead || (artist.empty() && title.empty())) {
        artist = vel::GetTitleName(vel::utf8ToUtf16(FileName), true);
        title.clear();
        album.clear();
    }

    http_.until = std::chrono::steady_clock::now() + LookupTimeLimit;
    amazon.SetLookupEnd(*http_.until);

    if (SearchCatalogue(artist, title)) return;
    if (SearchViaEngine(artist, title)) return;
    if (SearchOwnCover()) return;
    if (SearchOpenCatalogues(artist, title, album)) return;

    // Nothing found: an old cover must not be shown for this track.
    if (folder_.remove(vel::kCoverFile) && !WriteAsinFile(u"")) folder_.remove(vel::kAsinFile);
}

bool frm_main::SearchCatalogue(std::u16string_view artist, std::u16string_view title) {
    std::u16string words(artist);
    words.append(u" ").append(title);
    if (amazon.CatalogueSearch(words, kMusicMode, kKeywordSearch) != kSearchOk) return false;
    const CatalogueItem first = amazon.SearchResults.empty() ? CatalogueItem{} : amazon.SearchResults.front();
    return saveHit(first.ImageUrlMedium, first.Asin);
}

bool frm_main::SearchViaEngine(std::u16string_view artist, std::u16string_view title) {
    std::u16string query(artist);
    query.append(u" ").append(title).append(u" 音楽 ASIN site:").append(fromAscii(vel::kStoreHost));
    const std::u16string id = amazon.FindAsinByEngine(query);
    if (id.empty()) return false;
    if (amazon.CatalogueSearch(id, kMusicMode, kAsinSearch) != kSearchOk) return false;
    // The identifier written is the text taken from the page, not the record's.
    const CatalogueItem first = amazon.SearchResults.empty() ? CatalogueItem{} : amazon.SearchResults.front();
    return saveHit(first.ImageUrlMedium, id);
}

bool frm_main::SearchOwnCover() {
    const auto jpeg = owncover::FindOwnCover(vel::TrimSpaces(FileName),
                                             http_.until.value_or(std::chrono::steady_clock::time_point::max()));
    return jpeg && SaveCover(*jpeg, u"");
}

bool frm_main::SearchOpenCatalogues(std::u16string_view artist, std::u16string_view title,
                                    std::u16string_view album) {
    opencatalog::OpenCatalogueSettings settings = OpenCatalogues;
    if (http_.until) {
        using std::chrono::milliseconds;
        const auto left = std::chrono::duration_cast<milliseconds>(*http_.until - std::chrono::steady_clock::now());
        if (left <= milliseconds(0)) return false;
        settings.timeLimit = std::min(settings.timeLimit, left);
    }
    // Both folders are the user's own: one that fails the private-folder rule
    // means no cache, and pacing within this fetcher only.
    opencatalog::AnswerCache answers(AnswersFolder);
    const vel::Folder paceFolder = vel::Folder::Private(PaceFolder);
    opencatalog::RequestPace musicBrainzPace(paceFolder, "musicbrainz.pace", 1, settings.musicBrainzGap);
    opencatalog::RequestPace iTunesPace(paceFolder, "itunes.pace", opencatalog::OpenCatalogueSearch::kITunesRequests,
                                        std::chrono::minutes(1));

    opencatalog::CurlWebClient web(http_, settings.caBundle), musicBrainzWeb(http_, settings.caBundle);
    opencatalog::SystemClock clock;
    opencatalog::OpenCatalogueSearch search(web, musicBrainzWeb, clock, settings,
                                            {&answers, &musicBrainzPace, &iTunesPace});
    const auto hit = search.Find(vel::utf16ToUtf8(artist), vel::utf16ToUtf8(title), vel::utf16ToUtf8(album));
    return hit && !timeIsUp() && SaveCover(hit->jpeg, fromAscii(hit->asin));
}

bool frm_main::WriteAsinFile(std::u16string_view text) {
    const std::string ansi = vel::toAnsi(text);
    // A folder that cannot be written leaves the old file; the fetcher ends all the same.
    return ReplaceFile(folder_, vel::kAsinFile, {reinterpret_cast<const std::uint8_t*>(ansi.data()), ansi.size()});
}

bool frm_main::SaveCover(std::span<const std::uint8_t> image, std::u16string_view asin) {
    // The picture first: one that cannot be written leaves the old pair as it
    // was, and the lookup goes on, ending as one that found nothing unless a
    // later step saves its cover.
    if (!ReplaceFile(folder_, vel::kCoverFile, image)) return false;
    // The new picture must not go with the old product.
    if (!WriteAsinFile(asin)) folder_.remove(vel::kAsinFile);
    return true;
}

bool frm_main::saveHit(std::u16string_view imageUrl, std::u16string_view asin) {
    std::vector<std::uint8_t> image;
    amazon.Download(imageUrl, image);
    return !timeIsUp() && SaveCover(image, asin);
}

bool frm_main::timeIsUp() const { return http_.until && std::chrono::steady_clock::now() >= *http_.until; }

} // namespace velfetch
