#pragma once

#include "link/RefreshRequest.h"

namespace bench {

// The link state as the dialog would have it, with `window` as the main
// window: objects created on construction, every worker stopped and the
// port closed on destruction. One at a time per process.
class LinkSession {
public:
    explicit LinkSession(linkcore::RefreshSink& window);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Connect to COM<port> with the given decoder selection.
    bool Connect(int decoder, int port = 1);
};

}  // namespace bench
