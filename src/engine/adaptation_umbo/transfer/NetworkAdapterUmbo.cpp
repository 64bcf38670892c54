#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"

#include "adaptation_umbo/base/Settings.h"
#include "adaptation_umbo/transfer/VerbatimPathReply.h"

#include <keldra/LoggerUmbo.h>

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <new>

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace orva {
namespace keldra {
namespace internal {

namespace {

bool s_default_configuration_ignored = false;
int s_inactivity_timeout_ms = NetworkAdapterUmbo::kInactivityTimeoutMs;
qint64 s_max_reply_body = NetworkAdapterUmbo::kMaxReplyBody;

const QString kForwardRequestIdHeader = QStringLiteral("X-Forward-Request-Id");
const QString kAuthorizationHeader = QStringLiteral("Authorization");

// What the log shows of a credential: never the credential.
const char* masked(const std::string& secret) { return secret.empty() ? "" : "***"; }

// Keeps a request body alive exactly as long as the reply that may still read it: it
// is a child of the reply and dies with it. The access manager reads the body in place
// for as long as the reply exists, also after its head has arrived.
class RequestBodyKeeper : public QObject {
 public:
  RequestBodyKeeper(const orva::SharedPointer<DynamicBuffer>& body, QObject* reply)
      : QObject(reply), m_body(body) {}

 private:
  orva::SharedPointer<DynamicBuffer> m_body;
};

// Appends what |reply| holds to |body|. The buffer grows at least by doubling, so that a
// large body costs a few reallocations, not one per read. False when memory runs out.
bool append_available(QNetworkReply& reply, DynamicBuffer& body) {
  const qint64 available = reply.bytesAvailable();
  if (available <= 0) return true;
  const uint64_t length = body.get_data_length();
  const uint64_t wanted = length + static_cast<uint64_t>(available);
  if (wanted > UINT32_MAX) return false;
  if (wanted > body.get_capacity()) {
    const uint64_t doubled = std::max<uint64_t>(2 * uint64_t(body.get_capacity()), 64 * 1024);
    const uint64_t capacity = std::min<uint64_t>(std::max(wanted, doubled), UINT32_MAX);
    if (!body.reserve(static_cast<unsigned int>(capacity))) return false;
  }
  if (!body.resize(static_cast<unsigned int>(wanted))) return false;
  const qint64 got = reply.read(reinterpret_cast<char*>(body.get_data()) + length, available);
  body.resize(static_cast<unsigned int>(length + static_cast<uint64_t>(std::max<qint64>(got, 0))));
  return true;
}

// The HTTP status of |reply|'s head; 0 before it came or without a reply.
int http_status_of(const QNetworkReply* reply) {
  return reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

bool is_success(int http_status) { return http_status >= 200 && http_status <= 299; }

// Traces a request operation's address and digest (masked).
void trace_request(const char* name, const std::string& url, const std::string& digest) {
  if (!LoggerUmbo::instance()->isTypeAllowed(LoggerUmbo::MSG_TRACE)) return;
  // The display form leaves out a password in the address.
  const QString address =
      QUrl(QString::fromLatin1(url.data(), static_cast<int>(url.size()))).toDisplayString();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::%s: url %s", name,
                   address.toUtf8().constData());
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::%s: digest %s", name,
                   masked(digest));
}

}  // namespace

orva::SharedPointer<NetworkAdapter> NetworkAdapter::create(Listener& listener) {
  LoggerUmbo::log("G_PLATFORM_TALVO", LoggerUmbo::MSG_TRACE);
  NetworkAdapter* adapter = new (std::nothrow) NetworkAdapterUmbo(listener);
  return orva::SharedPointer<NetworkAdapter>(adapter);
}

NetworkAdapterUmbo::NetworkAdapterUmbo(NetworkAdapter::Listener& listener)
    : QObject(nullptr),
      NetworkAdapter(listener),
      mLogger(LoggerUmbo::instance()),
      mConfigManager(new QNetworkConfigurationManager),
      mSession(nullptr),
      mNetworkAccessManager(new QNetworkAccessManager),
      mReply(nullptr),
      mHeadReported(false),
      mReceived(0),
      mOpenSerial(0),
      mRequestSerial(0),
      mSlotDepth(0),
      mDropped(false) {
  LoggerUmbo::log("NetworkAdapterUmbo::NetworkAdapterUmbo ++, QT >= 4.7", LoggerUmbo::MSG_TRACE);
  // The session's error reaches us queued.
  qRegisterMetaType<QNetworkSession::SessionError>();
}

NetworkAdapterUmbo::~NetworkAdapterUmbo() {
  LoggerUmbo::log("NetworkAdapterUmbo::~NetworkAdapterUmbo ++", LoggerUmbo::MSG_TRACE);
  closeConnection();
  deleteNetworkReply();
  delete mSession;
  mSession = nullptr;
  delete mConfigManager;
  // Takes the replies still waiting for deletion, and the request bodies they keep.
  delete mNetworkAccessManager;
  LoggerUmbo::log("NetworkAdapterUmbo::~NetworkAdapterUmbo --", LoggerUmbo::MSG_TRACE);
}

void NetworkAdapterUmbo::release() {
  if (mSlotDepth == 0) {
    delete this;
    return;
  }
  LoggerUmbo::log("NetworkAdapterUmbo::release: dropped inside its own slot, deleted later",
                  LoggerUmbo::MSG_TRACE);
  mDropped = true;
  closeConnection();
  deleteNetworkReply();
  discardSession();
  mBody.reset();
  mRequestBody.reset();
  deleteLater();
}

bool NetworkAdapterUmbo::still_running(quint64 serial) const {
  return !mDropped && serial == mRequestSerial;
}

// ---- session ----

void NetworkAdapterUmbo::set_default_configuration_ignored(bool ignored) {
  s_default_configuration_ignored = ignored;
}

int NetworkAdapterUmbo::inactivity_timeout_ms() { return s_inactivity_timeout_ms; }

void NetworkAdapterUmbo::set_inactivity_timeout_ms(int ms) {
  s_inactivity_timeout_ms = ms > 0 ? ms : kInactivityTimeoutMs;
}

qint64 NetworkAdapterUmbo::max_reply_body() { return s_max_reply_body; }

void NetworkAdapterUmbo::set_max_reply_body(qint64 bytes) {
  s_max_reply_body = bytes > 0 ? bytes : kMaxReplyBody;
}

orva::ErrorCode NetworkAdapterUmbo::open(unsigned int access_point_id) {
  LogTrace trace("NetworkAdapterUmbo::open");
  try {
    return doOpen(access_point_id);
  } catch (const std::bad_alloc&) {
    LoggerUmbo::log("NetworkAdapterUmbo::open OUT-OF-MEMORY ERROR!", LoggerUmbo::MSG_TRACE);
    discardSession();
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    LoggerUmbo::log("NetworkAdapterUmbo::open GENERAL EXCEPTION!", LoggerUmbo::MSG_TRACE);
    discardSession();
    return ORVA_ERROR_UNKNOWN;
  }
}

orva::ErrorCode NetworkAdapterUmbo::doOpen(unsigned int access_point_id) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "access_point_id %d: ", static_cast<int>(access_point_id));
  if (is_active()) return ORVA_ERROR_NOT_READY;
  if (state() == READY) return ORVA_ERROR_NONE;

  QNetworkConfiguration config;
  if (access_point_id == 0) {
    LoggerUmbo::log("Use default configuration", LoggerUmbo::MSG_TRACE);
    if (!s_default_configuration_ignored) config = mConfigManager->defaultConfiguration();
  } else {
    // The platform names an access point by one character, the id's low 16 bits; the
    // id's decimal text is tried as well.
    config = mConfigManager->configurationFromIdentifier(
        QString(QChar(static_cast<ushort>(access_point_id & 0xFFFFu))));
    if (!config.isValid()) {
      config = mConfigManager->configurationFromIdentifier(QString::number(access_point_id));
    }
  }
  // Without a bearer (containers, machines without a connection manager) Qt offers no
  // valid default; the default access point then opens an emulated session.
  const bool emulated = access_point_id == 0 && !config.isValid();
  if (config.isValid()) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "%s", config.name().toUtf8().constData());
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "%s", config.identifier().toUtf8().constData());
  } else {
    LoggerUmbo::log("config is invalid", LoggerUmbo::MSG_TRACE);
    if (!emulated) {
      LoggerUmbo::log("NetworkAdapterUmbo::open Configuration invalid return",
                      LoggerUmbo::MSG_TRACE);
      return ORVA_ERROR_NETWORK_CONFIGURATION;
    }
    LoggerUmbo::log("NetworkAdapterUmbo::open no bearer, emulated session", LoggerUmbo::MSG_TRACE);
  }

  discardSession();
  const quint64 serial = ++mOpenSerial;
  if (emulated) {
    QTimer::singleShot(0, this, [this, serial] {
      if (serial == mOpenSerial && state() == PREPARING) slotOpened();
    });
  } else {
    mSession = new QNetworkSession(config);
    connect(mSession, &QNetworkSession::preferredConfigurationChanged, this,
            &NetworkAdapterUmbo::slotPreferredConfigurationChanged);
    // Queued: a platform may report the outcome from inside open(), before the change to
    // PREPARING. The serial drops what a cancelled or replaced session still had queued.
    connect(
        mSession, &QNetworkSession::opened, this,
        [this, serial] {
          if (serial == mOpenSerial) slotOpened();
        },
        Qt::QueuedConnection);
    connect(
        mSession, QOverload<QNetworkSession::SessionError>::of(&QNetworkSession::error), this,
        [this, serial](QNetworkSession::SessionError error) {
          if (serial == mOpenSerial) slotNetworkSessionError(error);
        },
        Qt::QueuedConnection);
    connect(mSession, &QNetworkSession::stateChanged, this,
            &NetworkAdapterUmbo::slotNetworkStateChanged);
    if (access_point_id != 0) {
      mSession->setSessionProperty(QStringLiteral("ConnectInBackground"), QStringLiteral("true"));
    }
    mSession->open();
  }
  state_changed(PREPARING, ORVA_ERROR_NONE);
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

void NetworkAdapterUmbo::discardSession() {
  ++mOpenSerial;
  if (!mSession) return;
  mSession->disconnect(this);
  // Later, not now: this may run inside one of the session's own signals.
  mSession->deleteLater();
  mSession = nullptr;
}

void NetworkAdapterUmbo::slotOpened() {
  LogTrace trace("NetworkAdapterUmbo::slotOpened");
  SlotScope scope(*this);
  if (mDropped) return;
  state_changed(READY, ORVA_ERROR_NONE);
}

void NetworkAdapterUmbo::slotNetworkSessionError(QNetworkSession::SessionError error) {
  LogTrace trace("NetworkAdapterUmbo::slotNetworkSessionError");
  SlotScope scope(*this);
  if (mDropped) return;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "QNetworkSession::SessionError: %d ",
                   static_cast<int>(error));
  discardSession();
  // A running request goes on; only the session is gone.
  state_changed(CLOSED, ORVA_ERROR_NETWORK_CONFIGURATION);
}

void NetworkAdapterUmbo::slotPreferredConfigurationChanged(const QNetworkConfiguration& config,
                                                           bool isSeamless) {
  LogTrace trace("NetworkAdapterUmbo::slotPreferredConfigurationChanged");
  Q_UNUSED(config);
  if (!mSession) return;
  if (isSeamless) {
    mSession->migrate();
    LoggerUmbo::log("isSeamless = True", LoggerUmbo::MSG_TRACE);
  } else {
    mSession->ignore();
    LoggerUmbo::log("isSeamless = False", LoggerUmbo::MSG_TRACE);
  }
}

void NetworkAdapterUmbo::slotNetworkStateChanged(QNetworkSession::State state) {
  static const char* const kNames[] = {
      "QNetworkSession::Invalid",    "QNetworkSession::NotAvailable",
      "QNetworkSession::Connecting", "QNetworkSession::Connected",
      "QNetworkSession::Closing",    "QNetworkSession::Disconnected",
      "QNetworkSession::Roaming"};
  const int index = static_cast<int>(state);
  if (index >= 0 && index < 7) LoggerUmbo::log(kNames[index], LoggerUmbo::MSG_TRACE);
}

void NetworkAdapterUmbo::slotNetworkSessionClosed() {
  LogTrace trace("NetworkAdapterUmbo::slotNetworkSessionClosed");
}

void NetworkAdapterUmbo::slotUpdateCompleted() {
  LogTrace trace("NetworkAdapterUmbo::slotUpdateCompleted");
  log_access_point_ids();
}

void NetworkAdapterUmbo::update_configurations() {
  LogTrace trace("NetworkAdapterUmbo::update_configurations");
  connect(mConfigManager, &QNetworkConfigurationManager::updateCompleted, this,
          &NetworkAdapterUmbo::slotUpdateCompleted, Qt::UniqueConnection);
  mConfigManager->updateConfigurations();
}

void NetworkAdapterUmbo::log_access_point_ids() {
  for (const QNetworkConfiguration& config : mConfigManager->allConfigurations()) {
    LoggerUmbo::log(("name: " + config.name() + "id: " + config.identifier()).toStdString(),
                    LoggerUmbo::MSG_TRACE);
  }
}

// ---- requests ----

orva::ErrorCode NetworkAdapterUmbo::get(const std::string& url, const std::string& digest) {
  LogTrace trace("NetworkAdapterUmbo::get");
  trace_request("get", url, digest);
  if (is_active()) return ORVA_ERROR_NOT_READY;
  return request("get", url, digest, std::string(), "application/zip", EGet, "");
}

// The POST forms' common start: an empty body is refused with 3 (logged under |name|),
// a request under way with 7; otherwise the body is held for the request.
orva::ErrorCode NetworkAdapterUmbo::take_request_body(
    const char* name, const orva::SharedPointer<DynamicBuffer>& body) {
  if (!body.is_valid() || body->get_data_length() == 0) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "%s Error SharedBufferPtr is empty, return ORVA_ERROR_INVALID_PARAMETERS; ",
                     name);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (is_active()) return ORVA_ERROR_NOT_READY;
  mRequestBody = body;
  return ORVA_ERROR_NONE;
}

orva::ErrorCode NetworkAdapterUmbo::post(const std::string& url, const std::string& digest,
                                         const orva::SharedPointer<DynamicBuffer>& body) {
  LogTrace trace("NetworkAdapterUmbo::post");
  trace_request("post", url, digest);
  const orva::ErrorCode taken = take_request_body("NetworkAdapterUmbo::post", body);
  if (taken != ORVA_ERROR_NONE) return taken;
  return request("post", url, digest, std::string(), "application/zip", EPost, "");
}

orva::ErrorCode NetworkAdapterUmbo::post_mmf(const std::string& url, const std::string& digest,
                                             const std::string& request_id,
                                             const std::string& content_type,
                                             const orva::SharedPointer<DynamicBuffer>& body) {
  LogTrace trace("NetworkAdapterUmbo::post_mmf");
  trace_request("post_mmf", url, digest);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::post_mmf: request_id %s",
                   request_id.c_str());
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::post_mmf: content_type %s",
                   content_type.c_str());
  const orva::ErrorCode taken = take_request_body("NetworkAdapterUmbo::post", body);
  if (taken != ORVA_ERROR_NONE) return taken;
  return request("post_mmf", url, digest, request_id, content_type, EPost, "");
}

orva::ErrorCode NetworkAdapterUmbo::post_zip_request(
    const std::string& url, const std::string& digest,
    const orva::SharedPointer<DynamicBuffer>& body) {
  LogTrace trace("NetworkAdapterUmbo::post_zip_request");
  trace_request("post_zip_request", url, digest);
  const orva::ErrorCode taken = take_request_body("NetworkAdapterUmbo::post_zip_request", body);
  if (taken != ORVA_ERROR_NONE) return taken;
  return request("post_zip_request", url, digest, std::string(), "application/zip", EPost,
                 "application/zip");
}

orva::ErrorCode NetworkAdapterUmbo::request(const char* name, const std::string& url,
                                            const std::string& digest,
                                            const std::string& request_id,
                                            const std::string& content_type, httpMethod method,
                                            const char* accept) {
  const QString qurl = QString::fromLatin1(url.data(), static_cast<int>(url.size()));
  try {
    return startRequest(
        qurl, QString::fromLatin1(digest.data(), static_cast<int>(digest.size())),
        QString::fromLatin1(request_id.data(), static_cast<int>(request_id.size())),
        QString::fromLatin1(content_type.data(), static_cast<int>(content_type.size())), method,
        QString::fromLatin1(accept));
  } catch (const std::bad_alloc&) {
    LoggerUmbo::log(std::string("NetworkAdapterUmbo::") + name + " OUT-OF-MEMORY ERROR!",
                    LoggerUmbo::MSG_TRACE);
    closeConnection();
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    LoggerUmbo::log(std::string("NetworkAdapterUmbo::") + name + " GENERAL EXCEPTION!",
                    LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_UNKNOWN;
  }
}

orva::ErrorCode NetworkAdapterUmbo::startRequest(const QString& url, const QString& digest,
                                                 const QString& request_id,
                                                 const QString& content_type, httpMethod method,
                                                 const QString& accept) {
  LogTrace trace("NetworkAdapterUmbo::startRequest");
  reset_progress();
  const QUrl qurl(url);
  if (url.isEmpty() || !qurl.isValid()) {
    LoggerUmbo::log(
        "NetworkAdapterUmbo::startRequest: Invalid URL: return ORVA_ERROR_INVALID_PARAMETERS",
        LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (is_active()) {
    LoggerUmbo::log(
        "NetworkAdapterUmbo::startRequest: is_active returned true -> ORVA_ERROR_NOT_READY",
        LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_NOT_READY;
  }

  mHeadReported = false;
  mReceived = 0;
  QNetworkRequest request;
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setUrl(qurl);
  // A stalled connection ends the request; the own client keeps the same limit.
  request.setTransferTimeout(s_inactivity_timeout_ms);
  request.setHeader(QNetworkRequest::ContentTypeHeader, content_type);
  if (!request_id.isEmpty()) {
    request.setRawHeader(kForwardRequestIdHeader.toLatin1(), request_id.toUtf8());
  }
  if (!digest.isEmpty()) {
    request.setRawHeader(kAuthorizationHeader.toLatin1(), createAuthString(digest).toUtf8());
    LoggerUmbo::log("NetworkAdapterUmbo::startRequest: set authorisation header Basic ***",
                    LoggerUmbo::MSG_TRACE);
  } else {
    LoggerUmbo::log("NetworkAdapterUmbo::startRequest: Digest empty, no authorisation is added ",
                    LoggerUmbo::MSG_TRACE);
  }

  deleteNetworkReply();
  // Each reply's body is its own: nothing of an earlier reply is handed over again.
  mBody.reset();
  state_changed(REQUEST_SENT, ORVA_ERROR_NONE);

  if (method == EGet) {
    mRequestBody.reset();
    mReply = VerbatimPathReply::is_needed(qurl)
                 ? new VerbatimPathReply(request, QNetworkAccessManager::GetOperation, QByteArray(),
                                         mNetworkAccessManager)
                 : mNetworkAccessManager->get(request);
  } else {
    const unsigned int length = mRequestBody->get_data_length();
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::EPost: mBody data length %d ",
                     static_cast<int>(length));
    mPostData = QByteArray::fromRawData(reinterpret_cast<const char*>(mRequestBody->get_data()),
                                        static_cast<int>(length));
    request.setHeader(QNetworkRequest::ContentLengthHeader, length);
    if (!accept.isEmpty()) request.setRawHeader("Accept", "application/zip");
    mReply = VerbatimPathReply::is_needed(qurl)
                 ? new VerbatimPathReply(request, QNetworkAccessManager::PostOperation, mPostData,
                                         mNetworkAccessManager)
                 : mNetworkAccessManager->post(request, mPostData);
    new RequestBodyKeeper(mRequestBody, mReply);
    mRequestBody.reset();
  }
  ++mRequestSerial;
  // Qt's HTTP thread otherwise reads on while the event loop hands its pieces over one
  // by one: small chunks at line speed pile up without bound. With a bound it stops
  // reading from the socket while the reply holds that much unread, and slotReadyRead
  // takes all there is at each notification.
  mReply->setReadBufferSize(kReplyReadBuffer);

  connect(mReply, &QNetworkReply::metaDataChanged, this, &NetworkAdapterUmbo::headArrived);
  connect(mReply, &QIODevice::readyRead, this, &NetworkAdapterUmbo::slotReadyRead);
  connect(mReply, &QNetworkReply::finished, this, &NetworkAdapterUmbo::slotFinished);
  connect(mReply, &QNetworkReply::errorOccurred, this, &NetworkAdapterUmbo::slotHttpReplyError);
  connect(mReply, &QNetworkReply::sslErrors, this, &NetworkAdapterUmbo::slotSslErrors);
  connect(mReply, &QNetworkReply::downloadProgress, this,
          &NetworkAdapterUmbo::slotDownloadProgress);
  connect(mReply, &QNetworkReply::uploadProgress, this, &NetworkAdapterUmbo::slotUploadProgress);

  mProgress.start_next_stage();
  report_progress();
  return ORVA_ERROR_NONE;
}

QString NetworkAdapterUmbo::createAuthString(const QString& authDigest) const {
  return QStringLiteral("Basic ") + authDigest;
}

bool NetworkAdapterUmbo::is_active() const {
  return state() == PREPARING || state() == REQUEST_SENT;
}

// ---- reply ----

void NetworkAdapterUmbo::slotReadyRead() {
  SlotScope scope(*this);
  const quint64 serial = mRequestSerial;
  const int http_status = http_status_of(mReply);
  if (!mReply) {
    LoggerUmbo::log("NetworkAdapterUmbo::slotReadyRead mReply is NULL", LoggerUmbo::MSG_TRACE);
    return;
  }
  if (!accept_head()) return;
  if (!mHeadReported && mReply->hasRawHeader("Content-Type")) {
    Response response;
    response.status = http_status_to_error_code(static_cast<unsigned int>(http_status));
    response.content_type = mReply->rawHeader("Content-Type").toStdString();
    mHeadReported = true;
    listener().handle_network_response_head(response);
    // The listener may have ended the request inside the head call, or dropped the
    // adapter. (A session error meanwhile leaves the request running.)
    if (!still_running(serial)) return;
  }
  const qint64 available = mReply->bytesAvailable();
  if (available <= 0) return;
  mReceived += available;
  if (mReceived > s_max_reply_body) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "NetworkAdapterUmbo::slotReadyRead: reply body past %lld bytes, refused",
                     static_cast<long long>(s_max_reply_body));
    stop(ORVA_ERROR_OUT_OF_MEMORY);
    return;
  }
  // Bytes of other statuses are not collected, nor left to pile up in the reply.
  if (!is_success(http_status)) {
    mReply->skip(available);
    return;
  }
  if (!mBody.is_valid()) mBody = orva::SharedPointer<DynamicBuffer>(new DynamicBuffer);
  if (!append_available(*mReply, *mBody)) {
    LoggerUmbo::log("NetworkAdapterUmbo::slotReadyRead: ERROR out of memory for the reply body",
                    LoggerUmbo::MSG_TRACE);
    stop(ORVA_ERROR_OUT_OF_MEMORY);
  }
}

void NetworkAdapterUmbo::headArrived() {
  SlotScope scope(*this);
  if (mReply) accept_head();
}

bool NetworkAdapterUmbo::accept_head() {
  qint64 length = -1;
  if (!agreed_content_length(*mReply, length)) {
    LoggerUmbo::log("NetworkAdapterUmbo: Content-Length is not one plain decimal number, refused",
                    LoggerUmbo::MSG_TRACE);
    stop(ORVA_ERROR_KELDRA_NETWORK_PROBLEM);
    return false;
  }
  if (is_success(http_status_of(mReply)) && length > s_max_reply_body) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "NetworkAdapterUmbo: reply body of %lld bytes refused (limit %lld)",
                     static_cast<long long>(length), static_cast<long long>(s_max_reply_body));
    stop(ORVA_ERROR_OUT_OF_MEMORY);
    return false;
  }
  return true;
}

void NetworkAdapterUmbo::slotFinished() {
  LogTrace trace("NetworkAdapterUmbo::slotFinished");
  SlotScope scope(*this);
  const quint64 serial = mRequestSerial;
  if (mReply && !accept_head()) return;
  mProgress.finish();
  report_progress();
  if (!still_running(serial)) return;
  if (mReply) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::slotFinished: error %d",
                     static_cast<int>(mReply->error()));
  }
  if (!mBody.is_valid()) {
    // A download answered 2xx without body bytes has nothing to hand over: it ends
    // without a body call, and the listener skips that file. Any other reply without
    // collected bytes (a POST's, a 3xx) confirmed nothing.
    const bool empty_download = mReply &&
                                mReply->operation() == QNetworkAccessManager::GetOperation &&
                                is_success(http_status_of(mReply));
    if (!empty_download) {
      LoggerUmbo::log("ERROR mBody is invalid, it must be valid at this point",
                      LoggerUmbo::MSG_TRACE);
      stop(ORVA_ERROR_UNKNOWN);
      return;
    }
    LoggerUmbo::log("NetworkAdapterUmbo::slotFinished: empty download", LoggerUmbo::MSG_TRACE);
  } else if (mBody->get_data_length() > 0) {
    listener().handle_network_response_body(mBody);
    // A body that cannot be saved ends the run inside this call.
    if (!still_running(serial)) return;
  }
  deleteNetworkReply();
  mHeadReported = false;
  state_changed(READY, ORVA_ERROR_NONE);
}

void NetworkAdapterUmbo::slotHttpReplyError(QNetworkReply::NetworkError code) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "NetworkAdapterUmbo::slotHttpReplyError ++: NetworkError %d",
                   static_cast<int>(code));
  SlotScope scope(*this);
  orva::ErrorCode status;
  switch (code) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
      // The adapter's own cancel disconnects a reply before aborting it: a cancellation
      // that arrives here is the access manager's transfer timeout (the own client
      // reports a timeout as such).
      LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                       "NetworkAdapterUmbo::slotHttpReplyError: no data for %d ms, "
                       "->ORVA_ERROR_KELDRA_NETWORK_PROBLEM",
                       s_inactivity_timeout_ms);
      status = ORVA_ERROR_KELDRA_NETWORK_PROBLEM;
      break;
    case QNetworkReply::SslHandshakeFailedError:
      LoggerUmbo::log(
          "NetworkAdapterUmbo::slotHttpReplyError SslHandshakeFailedError "
          "->(ErrorCode)ORVA_ERROR_KELDRA_NETWORK_PROBLEM",
          LoggerUmbo::MSG_TRACE);
      status = ORVA_ERROR_KELDRA_NETWORK_PROBLEM;
      break;
    case QNetworkReply::ContentNotFoundError:
      LoggerUmbo::log("NetworkAdapterUmbo::slotHttpReplyError ORVA_ERROR_NOT_FOUND",
                      LoggerUmbo::MSG_TRACE);
      status = ORVA_ERROR_NOT_FOUND;
      break;
    case QNetworkReply::AuthenticationRequiredError:
      LoggerUmbo::log(
          "NetworkAdapterUmbo::slotHttpReplyError "
          "AuthenticationRequiredError->ORVA_ERROR_KELDRA_LOGIN_FAILED",
          LoggerUmbo::MSG_TRACE);
      status = ORVA_ERROR_KELDRA_LOGIN_FAILED;
      break;
    default:
      LoggerUmbo::log("NetworkAdapterUmbo::slotHttpReplyError ORVA_ERROR_KELDRA_NETWORK_PROBLEM",
                      LoggerUmbo::MSG_TRACE);
      status = ORVA_ERROR_KELDRA_NETWORK_PROBLEM;
      break;
  }
  stop(status);
}

void NetworkAdapterUmbo::slotSslErrors(const QList<QSslError>& errors) {
  LogTrace trace("NetworkAdapterUmbo::slotSslErrors");
  for (const QSslError& error : errors) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SSL error %d, msg '%s'",
                     static_cast<int>(error.error()), error.errorString().toUtf8().constData());
  }
  // The one place certificate errors are ignored: the debug library points the library
  // at test and staging servers whose certificates are not trusted.
  if (mReply && Settings::instance()->is_library_loaded()) {
    LoggerUmbo::log("NetworkAdapterUmbo::slotSslErrors: ignoring all SSL errors",
                    LoggerUmbo::MSG_TRACE);
    mReply->ignoreSslErrors();
  }
}

void NetworkAdapterUmbo::slotUploadProgress(qint64 bytesSent, qint64 bytesTotal) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "NetworkAdapterUmbo::slotUploadProgress: bytes sent %lld, total %lld",
                   static_cast<long long>(bytesSent), static_cast<long long>(bytesTotal));
  SlotScope scope(*this);
  if (bytesTotal < 1) return;
  mProgress.set_stage_progress(static_cast<float>(bytesSent) / static_cast<float>(bytesTotal));
  report_progress();
}

void NetworkAdapterUmbo::slotDownloadProgress(qint64 bytesReceived, qint64 bytesTotal) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "NetworkAdapterUmbo::slotDownloadProgress: bytes received %lld, total %lld",
                   static_cast<long long>(bytesReceived), static_cast<long long>(bytesTotal));
  SlotScope scope(*this);
  if (bytesTotal < 1) return;
  mProgress.set_stage_progress(static_cast<float>(bytesReceived) / static_cast<float>(bytesTotal));
  report_progress();
}

void NetworkAdapterUmbo::printHttpHeadersDebug(QNetworkReply& reply) {
  for (const QByteArray& name : reply.rawHeaderList()) {
    LoggerUmbo::log(name.toStdString(), LoggerUmbo::MSG_TRACE);
  }
}

// ---- ending ----

void NetworkAdapterUmbo::cancel() {
  LogTrace trace("NetworkAdapterUmbo::cancel");
  stop(ORVA_ERROR_KELDRA_CANCELLED);
}

void NetworkAdapterUmbo::close() {
  LogTrace trace("NetworkAdapterUmbo::close");
  if (is_active()) cancel();
  state_changed(CLOSED, ORVA_ERROR_NONE);
}

void NetworkAdapterUmbo::stop(orva::ErrorCode status) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "NetworkAdapterUmbo::stop ++, state %d, error %d",
                   static_cast<int>(state()), static_cast<int>(status));
  switch (state()) {
    case PREPARING:
      closeConnection();
      state_changed(CLOSED, status);
      break;
    case REQUEST_SENT:
      mHeadReported = false;
      deleteNetworkReply();
      mBody.reset();
      state_changed(READY, status);
      break;
    default:
      LoggerUmbo::log("NetworkAdapterUmbo::stop m_state nothing to do", LoggerUmbo::MSG_TRACE);
      break;
  }
}

void NetworkAdapterUmbo::closeConnection() {
  if (!is_active()) return;
  deleteNetworkReply();
  if (mSession) mSession->stop();
  discardSession();
  mBody.reset();
  mHeadReported = false;
}

void NetworkAdapterUmbo::deleteNetworkReply() {
  mPostData.clear();
  if (!mReply) return;
  ++mRequestSerial;
  LoggerUmbo::log("NetworkAdapterUmbo::deleteNetwork reply!", LoggerUmbo::MSG_TRACE);
  // Disconnected first: nothing the reply emits while it ends comes back here.
  mReply->disconnect(this);
  // abort, not close: close would let an upload go on until the reply is deleted. A
  // reply that failed already has nothing left to stop; one whose head told of an HTTP
  // error fails by itself (Qt's HTTP thread has its error on the way), and aborting it
  // too would set its error twice. Its deletion ends its connection.
  if (mReply->isRunning() && mReply->error() == QNetworkReply::NoError &&
      http_status_of(mReply) < 400) {
    mReply->abort();
  }
  mReply->deleteLater();
  mReply = nullptr;
}

void NetworkAdapterUmbo::report_progress() {
  listener().handle_network_progress(mProgress.total_progress());
}

void NetworkAdapterUmbo::reset_progress() {
  mProgress.reset();
  mProgress.add_stage(0.05f);
  mProgress.add_stage(0.99f);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
