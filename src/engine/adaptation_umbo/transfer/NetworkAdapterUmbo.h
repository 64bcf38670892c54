// The direct transfer's network adapter over Qt networking: a network session from Qt's
// bearer management on an access point, and HTTPS requests through one
// QNetworkAccessManager whose reply signals become the listener calls of NetworkAdapter.
//
// Requests (the adapter fixes methods and headers; callers give URL, digest and body):
//   post              POST, Content-Type "application/zip", Content-Length, Authorization
//   post_mmf          POST, Content-Type given, X-Forward-Request-Id given (when not empty),
//                     Content-Length, Authorization
//   get               GET, Content-Type "application/zip", Authorization
//   post_zip_request  as post, plus Accept "application/zip"
// Authorization is "Basic " + digest, left out for an empty digest. Every request loads
// from the network, never from a cache; redirections are not followed. The path goes on
// the wire as given: where Qt's HTTP client would rewrite it (a segment such as ".s"),
// the request runs through a VerbatimPathReply of its own instead.
//
// Time limit: a request that moves no byte for 30 s (inactivity_timeout_ms()) ends with
// 0x6005; on the access manager's path through the request's transfer timeout, on the
// own client through its own timer, which also covers the connection and TLS handshake.
// Bytes of the response head (interim heads included) do not count as moving: the head
// must be complete within the limit.
//
// Size: no reply body above 256 MiB (max_reply_body()) is held: a 2xx reply whose
// Content-Length says more is refused at its head, and a request is stopped as soon as
// the bytes received pass the bound; both end with 2. Bytes of non-2xx replies are read
// and dropped. Qt may hold at most 64 KiB of a reply unread (kReplyReadBuffer), so memory
// stays bounded whatever the chunking.
//
// Framing: a reply whose Content-Length is no plain decimal number ("-0", "+5", " 5x"),
// or a list ("5, 05", "10, 10", the header twice), ends with 0x6005 before
// anything of it is handed over (the own client also refuses folded header lines and
// chunk data not followed by exactly its line end).
//
// Outcomes: a reply's head (status mapped by http_status_to_error_code, Content-Type)
// goes to the listener once, at the first readable data of a reply with a Content-Type;
// only 2xx bytes are collected, and the body goes to the listener when the reply ends
// without error. A reply error ends the request with 0x6006 (cancelled), 0x6005 (TLS
// handshake and other network errors), 8 (not found) or 0x6004 (authentication). A GET
// answered 2xx without body bytes ends with 0 and no body call (the listener skips that
// file); any other reply that ends without error and without body bytes ends with 1
// (a POST's confirmed nothing; a 3xx is not followed). TLS certificate
// errors are ignored only while the optional debug library is loaded
// (Settings::is_library_loaded); otherwise they fail the request with 0x6005.
//
// Bodies: a POST body is read in place (not copied) and kept alive until the request's
// reply object is deleted, so the caller must not change it while the request runs.
// The reply body is a buffer of its own, new for every request.
//
// Sessions: access point 0 is the platform's default configuration. Where the platform
// offers no valid default (no bearer, as in containers) the session is emulated: open
// still returns 0x6001 and READY follows from the event loop. Another access point
// without a configuration makes open return 5.
//
// Credentials never reach the log: traces show "***" for a digest and "Basic ***" for
// the Authorization value.
//
// Single-threaded: made, used and destroyed on one thread that runs a Qt event loop.
// Destroying it stops what runs without any listener call. Its last holder may drop it
// from inside any listener call (a run's final report, made from a head, a body or a
// state change): see release().
#pragma once

#include "syncengine/TaskProgress.h"
#include "transfer/NetworkAdapter.h"

#include <keldra/LoggerUmbo.h>

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QSslError>
#include <QString>

// Bearer management is deprecated in Qt 5.15 but is still the platform's way to the
// network bearer (up to the end of this header).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <QNetworkConfiguration>
#include <QNetworkConfigurationManager>
#include <QNetworkSession>

class QNetworkAccessManager;

Q_DECLARE_INTERFACE(orva::keldra::internal::NetworkAdapter, "NetworkAdapter")

namespace orva {
namespace keldra {
namespace internal {

class NetworkAdapterUmbo : public QObject, public NetworkAdapter {
  Q_OBJECT
  Q_INTERFACES(orva::keldra::internal::NetworkAdapter)

 public:
  enum httpMethod { EGet = 0, EPost = 1 };

  explicit NetworkAdapterUmbo(NetworkAdapter::Listener& listener);
  ~NetworkAdapterUmbo() override;

  orva::ErrorCode open(unsigned int access_point_id) override;
  void close() override;
  orva::ErrorCode get(const std::string& url, const std::string& digest) override;
  orva::ErrorCode post(const std::string& url, const std::string& digest,
                       const orva::SharedPointer<DynamicBuffer>& body) override;
  orva::ErrorCode post_mmf(const std::string& url, const std::string& digest,
                           const std::string& request_id, const std::string& content_type,
                           const orva::SharedPointer<DynamicBuffer>& body) override;
  orva::ErrorCode post_zip_request(const std::string& url, const std::string& digest,
                                   const orva::SharedPointer<DynamicBuffer>& body) override;
  bool is_active() const override;
  void cancel() override;

  // The last holder's drop. Outside the adapter's own slots it deletes the adapter at
  // once. Inside one (a listener that drops its handler in a run's final report), the
  // reply or session whose signal runs still needs its parent: everything stops there
  // without any listener call, the slot returns without touching the listener again,
  // and the adapter is deleted from the event loop.
  void release() override;

  // Test seam: with true, the platform's default configuration counts as missing, as on
  // a machine without a bearer, so that access point 0 opens the emulated session.
  static void set_default_configuration_ignored(bool ignored);

  // A request that moves no byte (connection, TLS handshake, request or reply) for this
  // long ends with 0x6005.
  static const int kInactivityTimeoutMs = 30000;
  // The limit in force; test seam: |ms| replaces it, 0 restores kInactivityTimeoutMs.
  static int inactivity_timeout_ms();
  static void set_inactivity_timeout_ms(int ms);

  // The most reply body bytes a request takes in: a 2xx reply whose Content-Length says
  // more is refused at its head, any reply that brings more is stopped there; both end
  // with 2 and nothing is handed over.
  static const qint64 kMaxReplyBody = qint64(256) << 20;
  // The bound in force; test seam: |bytes| replaces it, 0 restores kMaxReplyBody.
  static qint64 max_reply_body();
  static void set_max_reply_body(qint64 bytes);
  // The most reply bytes Qt may hold unread for a request (its read buffer): memory stays
  // bounded however the server chunks its body. Qt keeps every chunk it parsed as a piece
  // of its own and takes pieces off its buffer at a cost that grows with their number, so
  // a larger bound makes a body of tiny chunks slower; a smaller one slows every large
  // body down (each bound's worth of bytes waits for the event loop).
  static const qint64 kReplyReadBuffer = qint64(64) << 10;

  // Asks the configuration manager to rescan; the configurations are logged when done.
  void update_configurations();
  // One trace line per configuration the manager knows.
  void log_access_point_ids();
  // One trace line per raw header name of |reply| (names only, never values).
  void printHttpHeadersDebug(QNetworkReply& reply);

 private Q_SLOTS:
  void slotSslErrors(const QList<QSslError>& errors);
  void slotFinished();
  void slotHttpReplyError(QNetworkReply::NetworkError code);
  void slotReadyRead();
  void slotPreferredConfigurationChanged(const QNetworkConfiguration& config, bool isSeamless);
  void slotNetworkSessionError(QNetworkSession::SessionError error);
  void slotNetworkStateChanged(QNetworkSession::State state);
  void slotOpened();
  void slotNetworkSessionClosed();
  void slotUpdateCompleted();
  void slotDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
  void slotUploadProgress(qint64 bytesSent, qint64 bytesTotal);

 private:
  // Marks a slot as running for release(); every slot that may call the listener makes
  // one on entry.
  class SlotScope {
   public:
    explicit SlotScope(NetworkAdapterUmbo& adapter) : m_adapter(adapter) { ++adapter.mSlotDepth; }
    ~SlotScope() { --m_adapter.mSlotDepth; }

   private:
    NetworkAdapterUmbo& m_adapter;
  };
  // After a listener call from a slot: false when the listener dropped the adapter or
  // ended (or replaced) the request |serial| inside that call; the slot then returns.
  bool still_running(quint64 serial) const;
  // The reply's head as soon as it is there (metaDataChanged).
  void headArrived();
  // Checks the running reply's head (framing, declared size): false when the request was
  // stopped for it.
  bool accept_head();

  orva::ErrorCode doOpen(unsigned int access_point_id);
  // The POST forms' check of their body (3 empty, 7 busy); holds it on 0.
  orva::ErrorCode take_request_body(const char* name,
                                    const orva::SharedPointer<DynamicBuffer>& body);
  // The request operations' common part after their own checks.
  orva::ErrorCode request(const char* name, const std::string& url, const std::string& digest,
                          const std::string& request_id, const std::string& content_type,
                          httpMethod method, const char* accept);
  orva::ErrorCode startRequest(const QString& url, const QString& digest, const QString& request_id,
                               const QString& content_type, httpMethod method,
                               const QString& accept);
  QString createAuthString(const QString& authDigest) const;
  void stop(orva::ErrorCode status);
  void closeConnection();
  void deleteNetworkReply();
  void discardSession();
  void report_progress();
  void reset_progress();

  // Held for the adapter's life: every trace line would otherwise make and drop the
  // process logger (reading its level file, opening its file) when nobody else holds it.
  orva::SharedPointer<LoggerUmbo> mLogger;
  QNetworkConfigurationManager* mConfigManager;
  QNetworkSession* mSession;
  QNetworkAccessManager* mNetworkAccessManager;
  QNetworkReply* mReply;
  // The reply body being collected or last delivered; never the request body.
  orva::SharedPointer<DynamicBuffer> mBody;
  // A POST body from the request operation until the request hands it to its reply.
  orva::SharedPointer<DynamicBuffer> mRequestBody;
  bool mHeadReported;
  qint64 mReceived;  // reply body bytes taken in by the running request, of any status
  QByteArray mPostData;  // view onto the request body's bytes while the reply lives
  TaskProgress mProgress;
  // Counts session openings; an emulated opening that was cancelled or replaced
  // finds a newer count when its turn comes and does nothing.
  quint64 mOpenSerial;
  // Counts requests: started, stopped or finished ones each take a new number.
  quint64 mRequestSerial;
  // Slots under way (see release()) and whether the last holder let go meanwhile.
  int mSlotDepth;
  bool mDropped;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva

#pragma GCC diagnostic pop
