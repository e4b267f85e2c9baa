// velfetch: finds the cover of one track and leaves it for the player.
#include "FetcherForm.h"
#include "HandoffFolder.h"

#include <curl/curl.h>

#include <string>

int main(int argc, char** argv) {
    // The whole tail is one path: the arguments joined by single spaces.
    std::string tail;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) tail += ' ';
        tail += argv[i];
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    velfetch::frm_main form(vel::openHandoffFolder());
    form.Form_Load(tail);
    curl_global_cleanup();
    return 0;
}
