// velfetch: finds the cover of one track and leaves it for the player.
#include "EndSignals.h"
#include "FetcherForm.h"
#include "HandoffFolder.h"

#include <curl/curl.h>

#include <string>

int main(int argc, char** argv) {
    // Before any thread starts (libcurl's resolver threads among them): only
    // the thread started here takes an ending signal, and it waits while a
    // hand-off file is being named.
    vel::TakeEndSignalsOnOwnThread();

    // The whole tail is one path: the arguments joined by single spaces.
    std::string tail;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) tail += ' ';
        tail += argv[i];
    }

    // Without a track nothing is sent: the TLS library's start-up is not paid for.
    const bool lookup = !tail.empty();
    if (lookup) curl_global_init(CURL_GLOBAL_DEFAULT);
    velfetch::frm_main form(vel::openHandoffFolder());
    form.Form_Load(tail);
    if (lookup) curl_global_cleanup();
    return 0;
}
