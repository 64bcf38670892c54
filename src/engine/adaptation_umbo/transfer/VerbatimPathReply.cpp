#include "adaptation_umbo/transfer/VerbatimPathReply.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// A head larger than this is not HTTP we can take; nor are trailers, nor a chunk-size
// line (with its extensions) larger than kMaxChunkLine.
const int kMaxHead = 64 * 1024;
const int kMaxChunkLine = 4 * 1024;
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

// Where a head ends (just past its empty line), or -1 while it is incomplete.
int head_end(const QByteArray& in) {
  for (int i = in.indexOf('\n'); i >= 0; i = in.indexOf('\n', i + 1)) {
    if (i + 1 < in.size() && in[i + 1] == '\n') return i + 2;
    if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') return i + 3;
  }
  return -1;
}

// One line from the front of |in| without its line end, or false while incomplete.
bool take_line(QByteArray& in, QByteArray& line) {
  const int end = in.indexOf('\n');
  if (end < 0) return false;
  line = in.left(end);
  if (line.endsWith('\r')) line.chop(1);
  in.remove(0, end + 1);
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
  // Repeated fields come joined with ", ". Only the same digits repeated count as one
  // length; a sign, a space inside, anything but digits, or values that differ (even
  // "5, 05") leave the body's end a guess.
  QByteArray first;
  for (const QByteArray& part : reply.rawHeader("Content-Length").split(',')) {
    const QByteArray value = part.trimmed();
    const qint64 n = plain_length(value);
    if (n < 0 || (length >= 0 && value != first)) return false;
    first = value;
    length = n;
  }
  return true;
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
  if (mIdleTimer) mIdleTimer->start();
  mIn += mSocket->readAll();
  schedule();
}

void VerbatimPathReply::socketError() {
  if (isFinished()) return;
  // What came before the error is still to be taken.
  mIn += mSocket->readAll();
  mSocketFailed = true;
  schedule();
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

bool VerbatimPathReply::consume() {
  for (;;) {
    if (isFinished()) return false;
    switch (mPhase) {
      case kHead: {
        const int end = head_end(mIn);
        if (end < 0) {
          if (mIn.size() > kMaxHead) {
            fail(QNetworkReply::ProtocolFailure, QStringLiteral("Reply head too large"));
            return false;
          }
          return true;
        }
        const QByteArray head = mIn.left(end);
        mIn.remove(0, end);
        if (!parseHead(head)) return false;
        break;
      }
      case kBody:
      case kChunkData: {
        if (mIn.isEmpty()) return true;
        const int n = static_cast<int>(std::min<qint64>(mRemaining, mIn.size()));
        const QByteArray part = mIn.left(n);
        mIn.remove(0, n);
        mRemaining -= n;
        const bool body_done = mPhase == kBody && mRemaining == 0;
        if (mRemaining == 0 && mPhase == kChunkData) mPhase = kChunkEnd;
        if (!deliver(part.constData(), part.size())) return false;
        if (body_done) {
          succeed();
          return false;
        }
        break;
      }
      case kUntilClose: {
        if (mIn.isEmpty()) return true;
        const QByteArray part = mIn;
        mIn.clear();
        if (!deliver(part.constData(), part.size())) return false;
        break;
      }
      case kChunkSize: {
        QByteArray line;
        const bool whole = take_line(mIn, line);
        if ((whole ? line.size() : mIn.size()) > kMaxChunkLine) {
          fail(QNetworkReply::ProtocolFailure, QStringLiteral("Chunk size line too long"));
          return false;
        }
        if (!whole) return true;
        const int semicolon = line.indexOf(';');
        if (semicolon >= 0) line.truncate(semicolon);
        bool ok = false;
        const qint64 size = line.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0) {
          fail(QNetworkReply::ProtocolFailure, QStringLiteral("Bad chunk size"));
          return false;
        }
        mRemaining = size;
        mPhase = size == 0 ? kTrailer : kChunkData;
        break;
      }
      case kChunkEnd: {
        QByteArray line;
        if (!take_line(mIn, line)) return true;
        // Chunk data goes on past its declared size: the framing cannot be trusted.
        if (!line.isEmpty()) {
          fail(QNetworkReply::ProtocolFailure, QStringLiteral("Chunk longer than its size"));
          return false;
        }
        mPhase = kChunkSize;
        break;
      }
      case kTrailer: {
        QByteArray line;
        const bool whole = take_line(mIn, line);
        mTrailerBytes += whole ? line.size() + 1 : 0;
        if (mTrailerBytes + (whole ? 0 : mIn.size()) > kMaxHead) {
          fail(QNetworkReply::ProtocolFailure, QStringLiteral("Trailers too large"));
          return false;
        }
        if (!whole) return true;
        if (line.isEmpty()) {
          succeed();
          return false;
        }
        break;
      }
      case kDone:
        return false;
    }
  }
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
    fail(QNetworkReply::ProtocolFailure, QStringLiteral("Conflicting Content-Length"));
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

bool VerbatimPathReply::deliver(const char* data, int length) {
  if (length <= 0) return true;
  QPointer<VerbatimPathReply> self(this);
  mReady.append(data, length);
  mReceived += length;
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
  return mReady.size() + QNetworkReply::bytesAvailable();
}

qint64 VerbatimPathReply::readData(char* data, qint64 maxSize) {
  const int n = static_cast<int>(std::min<qint64>(maxSize, mReady.size()));
  if (n == 0) return isFinished() ? -1 : 0;
  std::copy(mReady.constData(), mReady.constData() + n, data);
  mReady.remove(0, n);
  return n;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
