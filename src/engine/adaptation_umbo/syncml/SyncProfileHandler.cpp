#include "adaptation_umbo/syncml/SyncProfileHandler.h"

#include "adaptation_umbo/base/ReplaceFile.h"
#include "adaptation_umbo/events/DbusEventHandler.h"
#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "compact/SyncSerializer.h"
#include "compact/Utf8.h"

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const char kZemProvider[] = "zem";

void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

bool is_xml_char(char32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c != 0xFFFE && c != 0xFFFF;
}

// Appends |value| escaped for a double-quoted attribute. Tab, line feed and carriage
// return become character references, which an XML reader keeps as they are (taken
// literally they would be read back as blanks). False when |value| holds something
// XML cannot carry at all: ill-formed UTF-8, a zero byte or another control character.
bool append_attribute_value(std::string& out, const std::string& value) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(value.data());
  const size_t size = value.size();
  for (size_t i = 0; i < size;) {
    const unsigned char byte = p[i];
    if (byte >= 0x80) {
      char32_t code = 0;
      const unsigned int length = compact::decode_utf8(p + i, size - i, code);
      if (length == 0 || !is_xml_char(code)) return false;
      out.append(value, i, length);
      i += length;
      continue;
    }
    switch (byte) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (!is_xml_char(byte)) return false;
        out += static_cast<char>(byte);
    }
    ++i;
  }
  return true;
}

// Builds the profile text, line by line as the daemon's profile reader is used to it.
class ProfileText {
 public:
  void blank() { m_text += '\n'; }
  void line(int indent, const char* text) {
    m_text.append(indent, ' ');
    m_text += text;
    m_text += '\n';
  }
  // <key name="NAME" value="VALUE" />, or "/>" without the blank.
  void key(int indent, const char* name, const std::string& value, bool blank_before_end = true) {
    m_text.append(indent, ' ');
    m_text += "<key name=\"";
    m_text += name;
    m_text += "\" value=\"";
    if (!append_attribute_value(m_text, value)) m_valid = false;
    m_text += blank_before_end ? "\" />\n" : "\"/>\n";
  }
  // <profile name="NAME" type="TYPE" >
  void sub_profile(const std::string& name, const char* type) {
    m_text += "    <profile name=\"";
    if (!append_attribute_value(m_text, name)) m_valid = false;
    m_text += "\" type=\"";
    m_text += type;
    m_text += "\" >\n";
  }
  bool valid() const { return m_valid; }
  const std::string& text() const { return m_text; }

 private:
  std::string m_text;
  bool m_valid = true;
};

}  // namespace

SyncProfileHandler::SyncProfileHandler()
    : Accounts::Manager(static_cast<QObject*>(nullptr)),
      m_client_profile_name("syncml"),
      m_profile_path(get_home_dir() + "/.sync/profiles/service/keldra.xml"),
      m_profile_dir(get_home_dir() + "/.sync/profiles/service/"),
      m_rewrite(true),
      m_account_id(0) {
  m_values.db_name = "./KeldraDB";
}

SyncProfileHandler::~SyncProfileHandler() {}

void SyncProfileHandler::set_sync_parameters(const SyncService::SyncParams& params,
                                             const orva::ustring& dbName, std::string serverUri) {
  Values next{params, dbName.to_utf8(), std::move(serverUri)};
  const SyncService::SyncParams& last = m_values.params;
  // The account is not compared: the profile does not name it.
  const bool same = next.params.iap == last.iap && next.params.password == last.password &&
                    next.params.service == last.service && next.params.token == last.token &&
                    next.params.user == last.user && next.db_name == m_values.db_name &&
                    next.server_address == m_values.server_address;
  if (same && !(params.user.empty() && params.token.empty() && m_rewrite)) return;

  trace("SyncProfileHandler::set_sync_parameters: sync parameters changed, writing new parameters");
  // Remembered only once written: a profile that could not be written must be tried
  // again by the next sync, not taken for the daemon's.
  if (write_profile(next)) m_values = std::move(next);
  DbusEventHandler::instance()->send_sync_message(DbusEventHandler::PROFILE_CHANGED);
}

void SyncProfileHandler::write_params_to_file() { write_profile(m_values); }

bool SyncProfileHandler::write_profile(const Values& values) {
  m_client_profile_name = "syncml";
  std::string user = values.params.user;
  std::string password = values.params.password;
  if (!values.params.token.empty()) {
    user = kTokenUserPrefix + values.params.token;
    password = kTokenPassword;
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "SyncProfileHandler::write_params_to_file (using token): %s, %s, %s, %s",
                     values.server_address.c_str(), password.c_str(), m_client_profile_name.c_str(),
                     values.db_name.c_str());
  } else {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "SyncProfileHandler::write_params_to_file (normal): %s, %s, %s, %s",
                     values.server_address.c_str(), user.c_str(), m_client_profile_name.c_str(),
                     values.db_name.c_str());
  }

  if (mkdir(m_profile_dir) != ORVA_ERROR_NONE) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "ERROR: SyncProfileHandler::write_params_to_file: failed to create "
                     "directory '%s'!",
                     m_profile_dir.c_str());
    return false;
  }
  const bool account_mode = user.empty();
  if (account_mode) {
    m_client_profile_name = "zemsyncml";
    if (!m_account) {
      Accounts::Account* found = findZemAccount();
      m_account = found;
      m_account_id = found ? found->id() : 0;
    }
    if (!m_account) {
      trace("SyncProfileHandler::write_params_to_file, zem account was not found!");
      throw UmboException(ORVA_ERROR_KELDRA_LOGIN_FAILED, "Zem account is not available!");
    }
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "SyncProfileHandler::write_params_to_file, zem id was found: id = %i",
                     static_cast<int>(m_account_id));
  }

  ProfileText out;
  out.line(0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  out.blank();
  out.line(0, "<profile  name=\"keldra\" type=\"service\">");
  out.blank();
  out.key(4, "Remote database", values.server_address);
  out.blank();
  if (account_mode) {
    out.key(4, "accountid", std::to_string(m_account_id));
  } else {
    out.key(4, "Username", user);
    out.key(4, "Password", password);
  }
  out.blank();
  out.key(4, "http_proxy_host", std::string());
  out.key(4, "http_proxy_port", std::string());
  out.blank();
  out.key(4, "destinationtype", "online", false);
  out.blank();
  out.sub_profile(m_client_profile_name, "client");
  out.key(16, "use_wbxml", "false");
  out.key(16, "Sync Transport", "HTTP");
  out.key(16, "Sync Direction", "two-way");
  out.key(16, "Sync Protocol", "SyncML11");
  out.line(4, "</profile>");
  out.blank();
  out.sub_profile("hkeldra", "storage");
  out.key(8, "Local URI", values.db_name);
  out.key(8, "Target URI", "./server/KeldraDBCompact");
  out.line(4, "</profile>");
  out.blank();
  out.line(0, "</profile>");
  if (!out.valid()) {
    trace("ERROR: SyncProfileHandler::write_params_to_file: a value cannot be written as XML!");
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS,
                        "Profile value holds characters XML cannot carry");
  }

  // Written beside and renamed over the old profile: a failure leaves the old one whole.
  if (replace_file(m_profile_path, out.text()) != ORVA_ERROR_NONE) {
    trace("ERROR: SyncProfileHandler::write_params_to_file: failed to open profile file!");
    return false;
  }
  if (account_mode) m_rewrite = false;
  return true;
}

Accounts::Account* SyncProfileHandler::findZemAccount() {
  trace("SyncProfileHandler::findZemAccountId ++");
  Accounts::Account* found = nullptr;
  const Accounts::AccountIdList ids = accountList(QString());
  if (ids.isEmpty()) {
    trace(
        "SyncProfileHandler::findZemAccountId, trying to use account, but no accounts on the "
        "device!");
  } else {
    for (Accounts::AccountId id : ids) {
      Accounts::Account* candidate = account(id);
      if (is_zem_account(candidate)) {
        found = candidate;
        break;
      }
    }
  }
  trace(found ? "SyncProfileHandler::findZemAccountId, zem account found"
              : "SyncProfileHandler::findZemAccountId, zem account not found!");
  trace("SyncProfileHandler::findZemAccountId --");
  return found;
}

bool SyncProfileHandler::is_zem_account(const Accounts::Account* account) {
  return account && account->providerName() == QLatin1String(kZemProvider);
}

void SyncProfileHandler::mark_account_changed(Accounts::Account* account) {
  m_account = account;
  m_account_id = account ? account->id() : 0;
  m_rewrite = true;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
