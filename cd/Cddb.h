// One CDDB request as both look-up windows make it: fetch a URL through the HTTP client,
// decode the answer (UTF-8 when it is valid UTF-8, CP932 otherwise) and map it to the result
// code the windows act on (cd/CddbText.h), with the reply's header and cookie texts for the
// windows to show. No window is needed, so the windows only add their flows.
//
// The servers are [CDPlayer] "CDDB_SERVER" (primary) and "CDDB_SERVER2" (fallback) of the
// settings file; a host may carry ":port", or be a whole "https://..." address.
//
// User-interface thread: CddbGet waits in a local event loop (net::HttpClient).
#pragma once

#include "cd/CddbText.h"
#include "platform/net/HttpClient.h"

#include <string>

extern const char* const kDefaultCddbServer;  // "gnudb.gnudb.org"

std::string CddbPrimaryServer();
std::string CddbFallbackServer();

struct TCddbAnswer {
    int Code = cddbUnknown;
    std::string Text;    // what the code keeps (CddbMapBody)
    std::string Header;  // the reply's header lines, trimmed
    std::string Cookie;  // the cookie the server set, if any
    std::string Error;   // why no answer came (empty when one came)
};

// A request that ends without an answer gives cddbTimeOut when the server stopped answering
// or never accepted the connection in time, and cddbUnknown for any other failure.
TCddbAnswer CddbGet(net::HttpClient& Http, const std::string& Url);
