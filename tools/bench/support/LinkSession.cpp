#include "tools/bench/support/LinkSession.h"

#include <stdexcept>

#include "link/Connection.h"
#include "link/LinkState.h"

namespace bench {

LinkSession::LinkSession(linkcore::RefreshSink& window) {
    linkcore::ResetLinkDataForTests();
    if (!linkcore::CreateSyncObjects(&window)) throw std::runtime_error("the link's stop events cannot be made");
}

LinkSession::~LinkSession() { linkcore::ReleaseSyncObjects(); }

bool LinkSession::Connect(int decoder, int port) { return linkcore::Connect(linkcore::Link(), port, decoder).opened; }

}  // namespace bench
