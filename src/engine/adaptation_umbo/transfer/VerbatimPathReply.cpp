#include "adaptation_umbo/transfer/VerbatimPathReply.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// A head larger than this is not HTTP we can take; nor are trailers, nor a chunk-size
// line (with its extensions) larger than kMaxChunkLine.
const int kMaxHead = 64 * 1024;
const int kMaxChunkLine = 4 * 1024;
// The receivers hear of body bytes at least every this many bytes.
const qint64 kAnnounceSlice = 256 * 1024;
// What the socket may hold that the reply has not taken yet.
const qint64 kSocketReadBuffer = 256 * 1024;
// The request body goes into the socket this much at a time, so that the socket never
// holds a copy of a large body.
const int kWriteSlice = 64 * 1024;

// The error code Qt's HTTP client gives an HTTP status of 400 and above.
QNetworkReply::NetworkError error_of_status(int status) {
  switch (status) {
    case 400:
      return QNetworkReply::ProtocolInvalidOperationError;
    case 401:
      return QNetworkReply::AuthenticationRequiredError;
    case 403:
      return QNetworkReply::ContentAccessDenied;
    case 404:
      return QNetworkReply::ContentNotFoundError;
    case 405:
      return QNetworkReply::ContentOperationNotPermittedError;
    case 407:
      return QNetworkReply::ProxyAuthenticationRequiredError;
    case 409:
      return QNetworkReply::ContentConflictError;
    case 410:
      return QNetworkReply::ContentGoneError;
    case 418:
      return QNetworkReply::ProtocolInvalidOperationError;
    case 500:
      return QNetworkReply::InternalServerError;
    case 501:
      return QNetworkReply::OperationNotImplementedError;
    case 503:
      return QNetworkReply::ServiceUnavailableError;
    default:
      return status > 500 ? QNetworkReply::UnknownServerError : QNetworkReply::UnknownContentError;
  }
}

// The error code Qt's HTTP client gives a socket error.
QNetworkReply::NetworkError error_of_socket(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return QNetworkReply::ConnectionRefusedError;
    case QAbstractSocket::RemoteHostClosedError:
      return QNetworkReply::RemoteHostClosedError;
    case QAbstractSocket::HostNotFoundError:
      return QNetworkReply::HostNotFoundError;
    case QAbstractSocket::SocketTimeoutError:
      return QNetworkReply::TimeoutError;
    case QAbstractSocket::SslHandshakeFailedError:
      return QNetworkReply::SslHandshakeFailedError;
    case QAbstractSocket::ProxyConnectionRefusedError:
      return QNetworkReply::ProxyConnectionRefusedError;
    case QAbstractSocket::ProxyNotFoundError:
      return QNetworkReply::ProxyNotFoundError;
    default:
      return QNetworkReply::UnknownNetworkError;
  }
}

// Where the head at |p| (|n| bytes) ends, just past its empty line, or -1 while it is
// incomplete. The search starts at |from|: what lies before it was searched already.
int head_end(const char* p, int n, int from) {
  for (int i = from; i < n;) {
    const void* found = std::memchr(p + i, '\n', static_cast<size_t>(n - i));
    if (!found) return -1;
    i = static_cast<int>(static_cast<const char*>(found) - p);
    if (i + 1 < n && p[i + 1] == '\n') return i + 2;
    if (i + 2 < n && p[i + 1] == '\r' && p[i + 2] == '\n') return i + 3;
    ++i;
  }
  return -1;
}

// Where the line at |p| (|n| bytes) has its '\n', or -1 while it has none; the search
// starts at |from|.
int line_end(const char* p, int n, int from) {
  if (from >= n) return -1;
  const void* found = std::memchr(p + from, '\n', static_cast<size_t>(n - from));
  return found ? static_cast<int>(static_cast<const char*>(found) - p) : -1;
}

bool is_space(char c) { return c == ' ' || c == '\t'; }

// A chunk-size line without its '\n' (an extension after ';' is ignored): one or more hex
// digits, spaces and tabs around them. False for anything else, or for a size that no
// body reaches.
bool chunk_size(const char* p, int n, qint64& size) {
  if (n > 0 && p[n - 1] == '\r') --n;
  const char* semicolon = static_cast<const char*>(std::memchr(p, ';', static_cast<size_t>(n)));
  if (semicolon) n = static_cast<int>(semicolon - p);
  int i = 0;
  while (i < n && is_space(p[i])) ++i;
  while (n > i && is_space(p[n - 1])) --n;
  if (i == n) return false;
  size = 0;
  for (; i < n; ++i) {
    const char c = p[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (size > (qint64(1) << 56)) return false;
    size = size * 16 + digit;
  }
  return true;
}

// A Content-Length value: one or more decimal digits and nothing else (no sign, no space
// inside, no list); -1 when it is not one, or too large for any body.
qint64 plain_length(const QByteArray& value) {
  if (value.isEmpty()) return -1;
  qint64 n = 0;
  for (const char c : value) {
    if (c < '0' || c > '9' || n > (qint64(1) << 56)) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

bool agreed_content_length(const QNetworkReply& reply, qint64& length) {
  length = -1;
  if (!reply.hasRawHeader("Content-Length")) return true;
  // Repeated fields come joined with ", ", so any list, even of one value repeated, is
  // refused with the rest: a sign, a space inside or anything but digits leaves the
  // body's end a guess.
  length = plain_length(reply.rawHeader("Content-Length").trimmed());
  return length >= 0;
}

bool VerbatimPathReply::is_needed(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) return false;
  return url.toEncoded(QUrl::FullyEncoded | QUrl::NormalizePathSegments) !=
         url.toEncoded(QUrl::FullyEncoded);
}

VerbatimPathReply::VerbatimPathReply(const QNetworkRequest& request,
                                     QNetworkAccessManager::Operation operation,
                                     const QByteArray& body, QObject* parent)
    : QNetworkReply(parent), mSocket(new QSslSocket(this)), mRequestBody(body) {
  setRequest(request);
  setUrl(request.url());
  setOperation(operation);
  open(QIODevice::ReadOnly | QIODevice::Unbuffered);

  const QUrl url = request.url();
  const bool tls = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
  const QString host_name = url.host();
  QByteArray host;
  QHostAddress address;
  if (address.setAddress(host_name) && address.protocol() == QAbstractSocket::IPv6Protocol) {
    host = '[' + host_name.toLatin1() + ']';
  } else {
    host = QUrl::toAce(host_name);
  }
  if (url.port() != -1) host += ':' + QByteArray::number(url.port());

  mRequestHead = (operation == QNetworkAccessManager::PostOperation ? "POST " : "GET ") +
                 url.toEncoded(QUrl::FullyEncoded | QUrl::RemoveScheme | QUrl::RemoveAuthority |
                               QUrl::RemoveFragment) +
                 " HTTP/1.1\r\n";
  for (const QByteArray& name : request.rawHeaderList()) {
    mRequestHead += name + ": " + request.rawHeader(name) + "\r\n";
  }
  mRequestHead += "Host: " + host + "\r\nUser-Agent: Mozilla/5.0\r\nConnection: close\r\n\r\n";

  const int timeout = request.transferTimeout();
  if (timeout > 0) {
    mIdleTimer = new QTimer(this);
    mIdleTimer->setSingleShot(true);
    mIdleTimer->setInterval(timeout);
    connect(mIdleTimer, &QTimer::timeout, this, &VerbatimPathReply::timedOut);
    mIdleTimer->start();
  }
  // The socket takes in no more than this ahead of the parser, however fast the server.
  mSocket->setReadBufferSize(kSocketReadBuffer);
  connect(mSocket, &QSslSocket::readyRead, this, &VerbatimPathReply::socketReadyRead);
  connect(mSocket, &QSslSocket::bytesWritten, this, &VerbatimPathReply::bytesWritten);
  connect(mSocket, &QAbstractSocket::errorOccurred, this, &VerbatimPathReply::socketError);
  connect(mSocket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), this,
          [this](const QList<QSslError>& errors) { emit sslErrors(errors); });
  if (tls) {
    connect(mSocket, &QSslSocket::encrypted, this, [this] {
      emit encrypted();
      connected();
    });
    mSocket->setSslConfiguration(request.sslConfiguration());
    mSocket->connectToHostEncrypted(host_name, static_cast<quint16>(url.port(443)));
  } else {
    connect(mSocket, &QAbstractSocket::connected, this, &VerbatimPathReply::connected);
    mSocket->connectToHost(host_name, static_cast<quint16>(url.port(80)));
  }
}

VerbatimPathReply::~VerbatimPathReply() = default;

void VerbatimPathReply::connected() {
  if (isFinished()) return;
  mSocket->write(mRequestHead);
  writeBody();
}

void VerbatimPathReply::writeBody() {
  while (mBodyQueued < mRequestBody.size() && mSocket->bytesToWrite() < kWriteSlice) {
    const int n = std::min(kWriteSlice, mRequestBody.size() - mBodyQueued);
    const qint64 written = mSocket->write(mRequestBody.constData() + mBodyQueued, n);
    if (written <= 0) return;
    mBodyQueued += static_cast<int>(written);
  }
}

void VerbatimPathReply::bytesWritten(qint64 bytes) {
  if (isFinished()) return;
  if (mIdleTimer) mIdleTimer->start();
  mWritten += bytes;
  writeBody();
  schedule();
}

void VerbatimPathReply::socketReadyRead() {
  if (isFinished()) return;
  // Bytes of the response head (interim heads too) do not hold the request open: the
  // head must be complete within the time limit, as on Qt's own client.
  if (mIdleTimer && mPhase != kHead) mIdleTimer->start();
  takeInput(mSocket->readAll());
  schedule();
}

void VerbatimPathReply::socketError() {
  if (isFinished()) return;
  // What came before the error is still to be taken.
  takeInput(mSocket->readAll());
  mSocketFailed = true;
  schedule();
}

void VerbatimPathReply::takeInput(const QByteArray& bytes) {
  if (bytes.isEmpty()) return;
  if (mInPos == mIn.size()) {
    mIn = bytes;
  } else {
    // Only what is not parsed yet moves: an unfinished head or line, never the body.
    mIn.remove(0, mInPos);
    mIn += bytes;
  }
  mInPos = 0;
}

void VerbatimPathReply::timedOut() {
  if (isFinished()) return;
  fail(QNetworkReply::TimeoutError,
       QStringLiteral("No data for %1 ms").arg(mIdleTimer ? mIdleTimer->interval() : 0));
}

// The receivers of this reply's signals may delete it (the adapter's listener may drop
// the adapter, and with it the access manager that is the parent). So nothing is emitted
// from inside the socket's own signals, and nothing here is touched after an emit
// without checking that the reply is still there.
void VerbatimPathReply::schedule() {
  if (mScheduled) return;
  mScheduled = true;
  QMetaObject::invokeMethod(this, &VerbatimPathReply::process, Qt::QueuedConnection);
}

void VerbatimPathReply::process() {
  mScheduled = false;
  if (isFinished()) return;
  QPointer<VerbatimPathReply> self(this);
  if (!mRequestBody.isEmpty()) {
    const qint64 sent =
        std::min<qint64>(std::max<qint64>(mWritten - mRequestHead.size(), 0), mRequestBody.size());
    if (sent > mSentReported) {
      mSentReported = sent;
      emit uploadProgress(sent, mRequestBody.size());
      if (!self || isFinished()) return;
    }
  }
  if (!consume() || !mSocketFailed) return;
  const QAbstractSocket::SocketError error = mSocket->error();
  if (error == QAbstractSocket::RemoteHostClosedError && mPhase == kUntilClose) {
    succeed();
    return;
  }
  fail(error_of_socket(error), mSocket->errorString());
}

// Parses in place: mInPos walks through the input, body bytes are copied once into
// mReady, and a head or line that is not complete yet is not searched again from its
// start (mScanned). The receivers hear of body bytes once per pass (or per
// kAnnounceSlice), not once per chunk.
bool VerbatimPathReply::consume() {
  for (;;) {
    if (isFinished()) return false;
    const char* const at = mIn.constData() + mInPos;
    const int left = mIn.size() - mInPos;
    switch (mPhase) {
      case kHead: {
        const int end = head_end(at, left, mScanned);
        if (end < 0 || end > kMaxHead) {
          if (left > kMaxHead) {
            fail(QNetworkReply::ProtocolFailure, QStringLiteral("Reply head too large"));
            return false;
          }
          // The empty line may begin in the last two bytes.
          mScanned = std::max(0, left - 2);
          return true;
        }
        const QByteArray head(at, end);
        mInPos += end;
        mScanned = 0;
        if (!parseHead(head)) return false;
        break;
      }
      case kBody:
      case kChunkData: {
        if (left == 0) return announce();
        const int n = static_cast<int>(std::min<qint64>(mRemaining, left));
        takeBody(n);
        mInPos += n;
        mRemaining -= n;
        if (mRemaining == 0) {
          if (mPhase == kBody) {
            if (announce()) succeed();
            return false;
          }
          mPhase = kChunkEnd;
        }
        if (mReceived - mAnnounced >= kAnnounceSlice && !announce()) return false;
        break;
      }
      case kUntilClose: {
        if (left == 0) return announce();
        takeBody(left);
        mInPos += left;
        break;
      }
      case kChunkSize: {
        const int end = line_end(at, left, mScanned);
        if (end < 0 ? left > kMaxChunkLine : end > kMaxChunkLine) {
          return failFraming(QStringLiteral("Chunk size line too long"));
        }
        if (end < 0) {
          mScanned = left;
          return announce();
        }
        qint64 size = 0;
        if (!chunk_size(at, end, size)) return failFraming(QStringLiteral("Bad chunk size"));
        mInPos += end + 1;
        mScanned = 0;
        mRemaining = size;
        mPhase = size == 0 ? kTrailer : kChunkData;
        break;
      }
      case kChunkEnd: {
        // Exactly the line end: anything else means the data goes on past its declared
        // size, and the framing cannot be trusted.
        if (left == 0 || (left == 1 && at[0] == '\r')) return announce();
        if (at[0] == '\n') {
          mInPos += 1;
        } else if (at[0] == '\r' && at[1] == '\n') {
          mInPos += 2;
        } else {
          return failFraming(QStringLiteral("Chunk data not followed by its line end"));
        }
        mPhase = kChunkSize;
        break;
      }
      case kTrailer: {
        const int end = line_end(at, left, mScanned);
        if (mTrailerBytes + (end < 0 ? left : end + 1) > kMaxHead) {
          return failFraming(QStringLiteral("Trailers too large"));
        }
        if (end < 0) {
          mScanned = left;
          return announce();
        }
        const bool last = end == 0 || (end == 1 && at[0] == '\r');
        mTrailerBytes += end + 1;
        mInPos += end + 1;
        mScanned = 0;
        if (last) {
          if (announce()) succeed();
          return false;
        }
        break;
      }
      case kDone:
        return false;
    }
  }
}

bool VerbatimPathReply::failFraming(const QString& text) {
  // The body bytes before the fault reach the receivers first, as on Qt's own client.
  if (announce()) fail(QNetworkReply::ProtocolFailure, text);
  return false;
}

bool VerbatimPathReply::parseHead(const QByteArray& head) {
  QList<QByteArray> lines = head.split('\n');
  for (QByteArray& line : lines) {
    if (line.endsWith('\r')) line.chop(1);
  }
  const QByteArray status_line = lines.value(0);
  const QList<QByteArray> parts = status_line.split(' ');
  bool ok = false;
  const int status = parts.value(1).toInt(&ok);
  if (!status_line.startsWith("HTTP/") || !ok || status < 100 || status > 999) {
    fail(QNetworkReply::ProtocolFailure, QStringLiteral("Bad status line"));
    return false;
  }
  // An interim answer; the real head follows.
  if (status < 200) return true;
  // The head is complete: from here on every byte moved restarts the time limit.
  if (mIdleTimer) mIdleTimer->start();

  mStatus = status;
  setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status);
  const int reason_at = status_line.indexOf(' ', status_line.indexOf(' ') + 1);
  setAttribute(QNetworkRequest::HttpReasonPhraseAttribute,
               reason_at < 0 ? QByteArray() : status_line.mid(reason_at + 1));
  bool chunked = false;
  // Repeated headers are joined as Qt joins them.
  QList<QPair<QByteArray, QByteArray>> headers;
  for (int i = 1; i < lines.size(); ++i) {
    const QByteArray& line = lines[i];
    // A folded line (obsolete line folding) could smuggle a header of its own past a
    // reader that takes it for a continuation, or the other way round.
    if (line.startsWith(' ') || line.startsWith('\t')) {
      fail(QNetworkReply::ProtocolFailure, QStringLiteral("Folded header line"));
      return false;
    }
    const int colon = line.indexOf(':');
    if (colon <= 0) continue;
    const QByteArray name = line.left(colon).trimmed();
    const QByteArray value = line.mid(colon + 1).trimmed();
    bool joined = false;
    for (auto& h : headers) {
      if (h.first.compare(name, Qt::CaseInsensitive) == 0) {
        h.second += ", " + value;
        joined = true;
        break;
      }
    }
    if (!joined) headers.append(qMakePair(name, value));
  }
  for (const auto& h : headers) {
    setRawHeader(h.first, h.second);
    if (h.first.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0 &&
        h.second.toLower().contains("chunked")) {
      chunked = true;
    }
  }
  if (!agreed_content_length(*this, mTotal)) {
    fail(QNetworkReply::ProtocolFailure,
         QStringLiteral("Content-Length is not one plain decimal number"));
    return false;
  }
  QPointer<VerbatimPathReply> self(this);
  emit metaDataChanged();
  if (!self || isFinished()) return false;

  if (status == 204 || status == 304) {
    mTotal = 0;
    succeed();
    return false;
  }
  if (chunked) {
    mTotal = -1;
    mPhase = kChunkSize;
  } else if (mTotal >= 0) {
    mRemaining = mTotal;
    mPhase = kBody;
    if (mTotal == 0) {
      succeed();
      return false;
    }
  } else {
    mPhase = kUntilClose;
  }
  return true;
}

void VerbatimPathReply::takeBody(int length) {
  mReceived += length;
  if (mReadyPos == mReady.size()) {
    // Nothing unread: input that is body from end to end is taken as it is, not copied.
    if (mInPos == 0 && length == mIn.size()) {
      mReady = mIn;
      mReadyPos = 0;
      return;
    }
    mReady.clear();
    mReadyPos = 0;
  } else if (mReadyPos >= mReady.size() / 2) {
    // Read bytes are dropped once they are half of the buffer, so each byte moves at
    // most a bounded number of times whatever the receiver reads.
    mReady.remove(0, mReadyPos);
    mReadyPos = 0;
  }
  mReady.append(mIn.constData() + mInPos, length);
}

bool VerbatimPathReply::announce() {
  if (mReceived == mAnnounced) return true;
  mAnnounced = mReceived;
  QPointer<VerbatimPathReply> self(this);
  emit readyRead();
  if (!self || isFinished()) return false;
  emit downloadProgress(mReceived, mTotal);
  return self && !isFinished();
}

void VerbatimPathReply::succeed() {
  QPointer<VerbatimPathReply> self(this);
  mPhase = kDone;
  endSocket();
  const qint64 received = mReceived;
  const qint64 total = mTotal < 0 ? mReceived : mTotal;
  if (mStatus >= 400) {
    const NetworkError code = error_of_status(mStatus);
    setError(code, QStringLiteral("Server replied: %1").arg(mStatus));
    setFinished(true);
    emit errorOccurred(code);
    if (!self) return;
  } else {
    setFinished(true);
  }
  emit downloadProgress(received, total);
  if (!self) return;
  emit readChannelFinished();
  if (!self) return;
  emit finished();
}

void VerbatimPathReply::fail(QNetworkReply::NetworkError code, const QString& text) {
  QPointer<VerbatimPathReply> self(this);
  mPhase = kDone;
  endSocket();
  setError(code, text);
  setFinished(true);
  emit errorOccurred(code);
  if (!self) return;
  emit finished();
}

void VerbatimPathReply::endSocket() {
  if (mIdleTimer) mIdleTimer->stop();
  mSocket->disconnect(this);
  mSocket->abort();
}

void VerbatimPathReply::abort() {
  if (isFinished()) return;
  fail(QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled"));
  QIODevice::close();
}

void VerbatimPathReply::ignoreSslErrors() { mSocket->ignoreSslErrors(); }

void VerbatimPathReply::ignoreSslErrorsImplementation(const QList<QSslError>& errors) {
  mSocket->ignoreSslErrors(errors);
}

qint64 VerbatimPathReply::bytesAvailable() const {
  return mReady.size() - mReadyPos + QNetworkReply::bytesAvailable();
}

qint64 VerbatimPathReply::readData(char* data, qint64 maxSize) {
  const int n = static_cast<int>(std::min<qint64>(maxSize, mReady.size() - mReadyPos));
  if (n == 0) return isFinished() ? -1 : 0;
  std::memcpy(data, mReady.constData() + mReadyPos, static_cast<size_t>(n));
  mReadyPos += n;
  if (mReadyPos == mReady.size()) {
    mReady.clear();
    mReadyPos = 0;
  }
  return n;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
