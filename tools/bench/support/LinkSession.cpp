#include "tools/bench/support/LinkSession.h"

#include "link/Connection.h"
#include "link/LinkState.h"

namespace bench {

LinkSession::LinkSession(linkcore::RefreshSink& window) {
    linkcore::ResetLinkDataForTests();
    linkcore::CreateSyncObjects(&window);
}

LinkSession::~LinkSession() { linkcore::ReleaseSyncObjects(); }

bool LinkSession::Connect(int decoder, int port) { return linkcore::Connect(port, decoder).opened; }

}  // namespace bench
