#include "cd/Cddb.h"

#include "util/Cp932.h"
#include "util/libIni.h"
#include "util/libText.h"

const char* const kDefaultCddbServer = "gnudb.gnudb.org";

namespace {

std::string server(const char* key)
{
    if (IniBase.empty())
        return kDefaultCddbServer;
    const std::string host = TrimBlanksUtf8(IniReadString(IniBase, "CDPlayer", key, ""));
    return host.empty() ? kDefaultCddbServer : host;
}

}  // namespace

std::string CddbPrimaryServer() { return server("CDDB_SERVER"); }
std::string CddbFallbackServer() { return server("CDDB_SERVER2"); }

TCddbAnswer CddbGet(net::HttpClient& Http, const std::string& Url)
{
    TCddbAnswer a;
    const net::HttpReply reply = Http.Get(Url);
    if (!reply.ok()) {
        a.Error = reply.Error;
        const bool late = reply.Outcome == net::HttpOutcome::ReadTimeout
                          || reply.Outcome == net::HttpOutcome::ConnectTimeout;
        a.Code = late ? cddbTimeOut : cddbUnknown;
        return a;
    }
    a.Header = TrimBlanksUtf8(cp932::fromUtf8OrCp932(reply.Header));
    a.Cookie = cp932::fromUtf8OrCp932(reply.Cookie);
    a.Code = CddbMapBody(cp932::fromUtf8OrCp932(reply.Body), a.Text);
    return a;
}
