#pragma once
// The stand-in's answers for the open catalogues' HTTPS hosts, in the shapes
// the services document: MusicBrainz (JSON), the Cover Art Archive with its
// redirect to the storage host, the iTunes Search API and its artwork host.
#include "StandinServer.h"

#include <string>

namespace standin {

struct OpenReply {
    int status = 200;
    std::string type = "application/json";
    std::string body;
    std::string location; // a redirect's target
};

// The reply to a GET of `target` (path and query) on `host`. Unknown hosts
// and addresses get 404.
OpenReply openCatalogueReply(const Config& config, const std::string& host, const std::string& target);

} // namespace standin
