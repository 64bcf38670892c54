// One HTTP/1.1 request over its own socket that puts the URL's path on the wire exactly
// as given, for the URLs whose path Qt's HTTP client would rewrite.
//
// Qt 5.15 sends the request path through its dot-segment removal, which drops every
// two-character segment that starts with "." ("/a/b/.s/w.jpg" goes out as "/a/b//w.jpg")
// and cannot be avoided by percent-encoding (the dot and letter are unreserved and get
// decoded first). Resized media downloads always carry such a ".s" segment.
//
// The reply behaves as the access manager's own replies do towards the network adapter:
// the same signals in the same order (readyRead with body bytes after the head,
// downloadProgress, uploadProgress for a POST body, sslErrors during the handshake,
// errorOccurred then finished on failure, finished alone on success), the HTTP status
// attribute, the reply's raw headers, and the same error codes for HTTP statuses of 400
// and above, TLS handshake failures, socket errors and abort(). Certificate errors are
// ignored only when a receiver of sslErrors calls ignoreSslErrors() inside the signal.
//
// What it sends: the method, the path with its query, the request's raw headers, Host,
// User-Agent "Mozilla/5.0" and "Connection: close"; a POST body follows as given. It
// reads a status line and headers (1xx heads are skipped) and a body delimited by
// Content-Length, chunked transfer coding or the end of the connection. A head with a
// folded line or with a Content-Length that is no plain decimal number (see
// agreed_content_length), and chunk data not followed by exactly CRLF or LF, fail the
// request with ProtocolFailure at once: a body whose end is a guess is never delivered
// as whole. So do a head or trailers above 64 KiB and a chunk-size line above 4 KiB (or
// one that is not hex digits); the body's own bound is the receiver's (it may abort).
// Redirections are not followed. No compression is asked for, so bodies come as sent.
// The input is parsed in place, each byte a bounded number of times, and the receivers
// hear of body bytes once per socket read (at most every 256 KiB), whatever the chunking.
//
// Time limit: the request's transferTimeout() (when above 0): a request that moves no
// byte for that long (the connection and TLS handshake included) fails with
// TimeoutError. Bytes of the response head, interim heads included, do not restart it:
// the head must be complete within that time after the last byte sent.
//
// Ownership: a QObject child of whoever is given as parent (the adapter's access
// manager); it owns its socket. The POST body is read in place: the caller keeps its
// bytes alive and unchanged for the reply's life. Single-threaded: signals come from the
// event loop of the thread that made it, never from inside the constructor.
#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QUrl>

class QSslSocket;
class QTimer;

namespace orva {
namespace keldra {
namespace internal {

// Reads |reply|'s Content-Length, whose repeated values are joined with ", " (as Qt and
// this reply join them): true and |length| when it is one plain decimal number (digits
// only); -1 without the header. False for anything else ("-0", "+5", " 5x", an empty
// value, any list: "5, 05", "10, 10", the header twice): the body's end is then a guess.
bool agreed_content_length(const QNetworkReply& reply, qint64& length);

class VerbatimPathReply : public QNetworkReply {
  Q_OBJECT

 public:
  // True when Qt's own HTTP client would send another request path than |url|'s.
  static bool is_needed(const QUrl& url);

  // Starts |operation| (GET or POST) of |request| at once; |body| is the POST body.
  VerbatimPathReply(const QNetworkRequest& request, QNetworkAccessManager::Operation operation,
                    const QByteArray& body, QObject* parent);
  ~VerbatimPathReply() override;

  void abort() override;
  void ignoreSslErrors() override;
  qint64 bytesAvailable() const override;
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  void ignoreSslErrorsImplementation(const QList<QSslError>& errors) override;

 private:
  enum Phase { kHead, kBody, kChunkSize, kChunkData, kChunkEnd, kTrailer, kUntilClose, kDone };

  void connected();
  void socketReadyRead();
  void bytesWritten(qint64 bytes);
  void writeBody();
  void socketError();
  void timedOut();
  void schedule();
  void process();
  // Parses what has arrived; false once the reply has finished, was aborted or deleted
  // (then nothing of it may be touched).
  bool consume();
  bool parseHead(const QByteArray& head);
  // Appends received bytes to the input.
  void takeInput(const QByteArray& bytes);
  // Adds the next |length| bytes of the input (at mInPos) to the body for the receiver.
  void takeBody(int length);
  // Tells the receivers of the body bytes added since the last time; false as consume().
  bool announce();
  // Fails the request for bad framing in the body (after announcing what came before);
  // always false.
  bool failFraming(const QString& text);
  void succeed();
  void fail(QNetworkReply::NetworkError code, const QString& text);
  void endSocket();

  QSslSocket* mSocket;
  QTimer* mIdleTimer = nullptr;  // restarted by every byte moved; null without a limit
  QByteArray mRequestHead;
  QByteArray mRequestBody;   // view onto the caller's bytes
  qint64 mWritten = 0;       // head and body bytes the socket has sent
  int mBodyQueued = 0;       // body bytes handed to the socket
  qint64 mSentReported = 0;  // body bytes last given in uploadProgress
  bool mScheduled = false;
  bool mSocketFailed = false;
  QByteArray mIn;       // bytes received; those before mInPos are parsed
  int mInPos = 0;
  int mScanned = 0;     // bytes from mInPos searched in vain for a head's or line's end
  QByteArray mReady;    // body bytes; those before mReadyPos were read by the receiver
  int mReadyPos = 0;
  qint64 mAnnounced = 0;  // body bytes the receivers were told of
  Phase mPhase = kHead;
  int mStatus = 0;
  qint64 mTotal = -1;     // Content-Length; -1 unknown
  qint64 mRemaining = 0;  // of the body or of the current chunk
  qint64 mReceived = 0;   // body bytes so far
  int mTrailerBytes = 0;  // trailer bytes so far
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
