#include "platform/net/HttpClient.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

// One Get is one QNetworkReply watched by two single-shot timers: the connect timer runs
// until the request has gone out, the read timer restarts with every piece of the reply.
// Whatever ends the wait (the reply finishing, a timer, Abort, the size cap) leaves its
// outcome in Run before it aborts the reply; the reply's own error decides only when nothing
// else did.

namespace net {

struct HttpClient::Run {
    QPointer<QNetworkReply> reply;
    HttpOutcome outcome = HttpOutcome::Ok;
    bool decided = false;
    void end(HttpOutcome why)
    {
        if (!decided) {
            decided = true;
            outcome = why;
        }
        if (reply)
            reply->abort();
    }
};

namespace {

QNetworkAccessManager& manager()
{
    // One manager for the thread that owns the windows, as QtNetwork expects; it takes the
    // proxy from the environment.
    static QNetworkAccessManager* nam = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        auto* m = new QNetworkAccessManager(qApp);
        m->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        return m;
    }();
    return *nam;
}

template <class F, class... A>
void fire(const F& event, A... args)
{
    if (event)
        event(args...);
}

const char* errorText(HttpOutcome o)
{
    switch (o) {
    case HttpOutcome::Ok: return "";
    case HttpOutcome::Aborted: return "The request was cancelled.";
    case HttpOutcome::InvalidHost: return "The server's host name could not be resolved.";
    case HttpOutcome::ConnectionFailed: return "No connection to the server could be made.";
    case HttpOutcome::ConnectTimeout: return "The server did not accept the connection in time.";
    case HttpOutcome::ReadTimeout: return "The server stopped answering.";
    case HttpOutcome::TooLarge: return "The server's answer is too large.";
    case HttpOutcome::Busy: return "Another request is still running.";
    case HttpOutcome::Failed: break;
    }
    return "The request failed.";
}

HttpOutcome outcomeOf(QNetworkReply::NetworkError e, bool connected, int status)
{
    const bool httpError = (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError)
                           || (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError);
    if (status > 0 && (e == QNetworkReply::NoError || httpError))
        return HttpOutcome::Ok;  // an answer came, whatever its number
    switch (e) {
    case QNetworkReply::NoError: return HttpOutcome::Ok;
    case QNetworkReply::HostNotFoundError: return HttpOutcome::InvalidHost;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::RemoteHostClosedError:
        return connected ? HttpOutcome::Failed : HttpOutcome::ConnectionFailed;
    default: return HttpOutcome::Failed;
    }
}

}  // namespace

bool HasUrlScheme(const std::string& Host)
{
    auto startsNoCase = [&](std::string_view p) {
        if (Host.size() < p.size())
            return false;
        for (std::size_t i = 0; i < p.size(); ++i)
            if (char(std::tolower(static_cast<unsigned char>(Host[i]))) != p[i])
                return false;
        return true;
    };
    return startsNoCase("http://") || startsNoCase("https://");
}

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() { Abort(); }

bool HttpClient::Busy() const { return run_ != nullptr; }

void HttpClient::Abort()
{
    if (run_)
        run_->end(HttpOutcome::Aborted);
}

HttpReply HttpClient::Get(const std::string& Url)
{
    HttpReply out;
    if (run_) {
        out.Outcome = HttpOutcome::Busy;
        out.Error = errorText(out.Outcome);
        return out;
    }
    const QUrl url(QString::fromStdString(Url), QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != "http" && url.scheme() != "https")) {
        fire(Events.OnInvalidHost);
        out.Outcome = HttpOutcome::InvalidHost;
        out.Error = errorText(out.Outcome);
        fire(Events.OnFailure, int(kGet));
        return out;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setMaximumRedirectsAllowed(5);
    request.setRawHeader("Connection", "close");
    request.setRawHeader("Accept", "*/*");

    Run run;
    run_ = &run;
    struct Release {
        Run*& r;
        ~Release() { r = nullptr; }
    } release{run_};

    bool connected = false;
    std::int64_t total = 0;
    QEventLoop loop;
    QTimer connectTimer, readTimer;
    connectTimer.setSingleShot(true);
    readTimer.setSingleShot(true);
    QObject::connect(&connectTimer, &QTimer::timeout, [&] { run.end(HttpOutcome::ConnectTimeout); });
    QObject::connect(&readTimer, &QTimer::timeout, [&] { run.end(HttpOutcome::ReadTimeout); });

    QNetworkReply* reply = manager().get(request);
    run.reply = reply;
    auto onConnected = [&] {
        if (connected)
            return;
        connected = true;
        connectTimer.stop();
        readTimer.start(ReadTimeoutMs);
        fire(Events.OnHostResolved);
        fire(Events.OnConnect);
        // What went out: the request line and the Host header.
        const std::int64_t sent = std::int64_t(url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority).size()
                                               + url.host().size() + 32);
        fire(Events.OnPacketSent, sent, sent);
    };
    QObject::connect(reply, &QNetworkReply::requestSent, reply, onConnected);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        onConnected();
        readTimer.start(ReadTimeoutMs);
        out.ReplyNumber = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        out.StatusText = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toStdString();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        total = length.isValid() ? length.toLongLong() : 0;
        if (total > std::int64_t(kMaxBody)) {
            run.end(HttpOutcome::TooLarge);
            return;
        }
        fire(Events.OnStatus, out.ReplyNumber, out.StatusText);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        onConnected();
        readTimer.start(ReadTimeoutMs);
        const QByteArray piece = reply->read(qint64(kMaxBody + 1 - std::min(out.Body.size(), kMaxBody)));
        out.Body.append(piece.constData(), std::size_t(piece.size()));
        if (out.Body.size() > kMaxBody) {
            run.end(HttpOutcome::TooLarge);
            return;
        }
        fire(Events.OnPacketRecvd, std::int64_t(out.Body.size()), total);
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    connectTimer.start(ConnectTimeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::AllEvents);
    connectTimer.stop();
    readTimer.stop();

    if (!run.decided) {
        const QByteArray rest = reply->readAll();
        out.Body.append(rest.constData(), std::size_t(rest.size()));
        if (out.Body.size() > kMaxBody)
            run.decided = true, run.outcome = HttpOutcome::TooLarge;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!run.decided)
        run.outcome = outcomeOf(reply->error(), connected, status);
    out.Outcome = run.outcome;
    if (out.ok()) {
        out.ReplyNumber = status;
        for (const auto& [name, value] : reply->rawHeaderPairs()) {
            if (!out.Header.empty())
                out.Header += "\r\n";
            out.Header += name.toStdString() + ": " + value.toStdString();
            if (name.compare("Set-Cookie", Qt::CaseInsensitive) == 0) {
                if (!out.Cookie.empty())
                    out.Cookie += "\r\n";
                out.Cookie += value.toStdString();
            }
        }
    } else {
        out.Body.clear();
        out.Error = errorText(out.Outcome);
        if (out.Outcome == HttpOutcome::Failed && reply->error() != QNetworkReply::NoError)
            out.Error += " (" + reply->errorString().toStdString() + ")";
    }
    reply->disconnect();
    reply->deleteLater();

    if (out.Outcome == HttpOutcome::InvalidHost)
        fire(Events.OnInvalidHost);
    else if (out.Outcome == HttpOutcome::ConnectionFailed)
        fire(Events.OnConnectionFailed);
    if (connected)
        fire(Events.OnDisconnect);
    if (out.ok())
        fire(Events.OnSuccess, int(kGet));
    else
        fire(Events.OnFailure, int(kGet));
    return out;
}

}  // namespace net

