#include "TransferFixture.h"

#include "support/DbusTestBus.h"
#include "support/TestEnv.h"
#include "transfer/RequestPackage.h"

#include <keldra/Attribute.h>
#include <keldra/DatabaseManager.h>
#include <keldra/Link.h>
#include <keldra/ProgressHandler.h>
#include <keldra/SyncAdapter.h>

#include <QCoreApplication>
#include <QDir>

#include <ostream>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::DataAdapter;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::DirectTransferHandlerImpl;
using orva::keldra::internal::NetworkAdapter;

std::ostream& operator<<(std::ostream& out, const TransferReport& r) {
  return out << "(0x" << std::hex << r.status << std::dec << ", " << r.progress << ", "
             << static_cast<int>(r.phase) << ")";
}

int RecordingListener::finals() const {
  int n = 0;
  for (const TransferReport& r : reports) n += r.status != ORVA_ERROR_KELDRA_IN_PROGRESS;
  return n;
}

orva::ErrorCode StepHandler::send_objects_message() {
  if (objects_requests == 0) return 0;
  --objects_requests;
  SharedPointer<orva::keldra::DynamicBuffer> body(new orva::keldra::DynamicBuffer());
  const unsigned char bytes[] = "R:dev:digest;";
  body->write(bytes, sizeof bytes - 1);
  const orva::ErrorCode r = network_adapter()->post(upload_url, "", body);
  if (r != 0) return r;
  add_bytes(body->get_data_length());
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

orva::ErrorCode StepHandler::receive_next_mmfile() {
  if (!download_requests || mmfiles_downlist().empty()) return 0;
  const orva::ErrorCode r =
      network_adapter()->get(download_base + std::to_string(mmfiles_downlist().front()), "");
  return r == 0 ? ORVA_ERROR_KELDRA_IN_PROGRESS : r;
}

orva::ErrorCode StepHandler::process_file_download_result(
    unsigned int local_id, const SharedPointer<orva::keldra::DynamicBuffer>&, const std::string&) {
  saved.push_back(local_id);
  count_item_done();
  report_progress();
  return save_result;
}

orva::ErrorCode StepHandler::create_batch_request_packages(
    std::vector<SharedPointer<orva::keldra::internal::RequestPackage>>& packages) {
  searched_uplist = mmfiles_uplist();
  return DirectTransferHandlerImpl::create_batch_request_packages(packages);
}

namespace {

struct InitReport : orva::keldra::ProgressHandler {
  void handle_progress(float, orva::ErrorCode s) override {
    status = s;
    done = true;
  }
  orva::ErrorCode status = -1;
  bool done = false;
};

}  // namespace

void TransferTest::SetUp() {
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running()) << bus.error();
  QDir(QString::fromStdString(home_dir() + "/.cities")).removeRecursively();
  static_ = orva::keldra::Static::instance();
  adapter_ = orva::keldra::DatabaseManager::open("personal");
  ASSERT_TRUE(adapter_.is_valid());
  InitReport init;
  adapter_->init(init);
  ASSERT_TRUE(wait_until([&] { return init.done; }));
  ASSERT_EQ(0, init.status);
  repo_ = adapter_->repository();
  ASSERT_TRUE(repo_.is_valid());
  use_scripted_adapter();
}

void TransferTest::use_scripted_adapter() {
  DirectTransferHandlerImpl::set_network_adapter_factory([this](NetworkAdapter::Listener& l) {
    ScriptedAdapter* made = new ScriptedAdapter(l);
    made->open_result = open_result_;
    made->auto_open = auto_open_;
    network_ = made;
    return SharedPointer<NetworkAdapter>(made);
  });
}

void TransferTest::TearDown() {
  DirectTransferHandlerImpl::set_network_adapter_factory(
      DirectTransferHandlerImpl::NetworkAdapterFactory());
  pump_a_while();
  repo_.release();
  adapter_.release();
  static_.release();
}

SharedPointer<DirectTransferHandler> TransferTest::make_handler() {
  orva::ErrorCode error = -1;
  SharedPointer<DirectTransferHandler> handler = DirectTransferHandler::create(adapter_, &error);
  EXPECT_EQ(0, error);
  return handler;
}

SharedPointer<StepHandler> TransferTest::make_step_handler() {
  return SharedPointer<StepHandler>(new StepHandler(adapter_));
}

unsigned int TransferTest::add_place(const std::string& name, bool synced,
                                     const std::vector<unsigned int>& children) {
  Object o("location");
  o.set_name(name);
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value(name + " street 1");
  o.get_attributes().push_back(address);
  for (unsigned int child : children) o.get_links().push_back(Link(child));
  orva::ErrorCode r;
  if (synced) {
    static unsigned long long next_global = 5000;
    o.set_global_id(++next_global);
    r = adapter_->sync_adapter()->add_object(o);
  } else {
    r = repo_->insert_object(o);
  }
  EXPECT_EQ(0, r) << name;
  return r == 0 ? o.get_local_id() : 0;
}

unsigned int TransferTest::add_media(const std::string& local_url, const std::string& remote_url) {
  Object o("multimedia");
  o.set_name("media");
  o.set_service(std::string("personal"));
  const std::pair<const char*, std::string> uris[] = {{"local_uri", local_url},
                                                      {"remote_uri", remote_url}};
  for (const auto& uri : uris) {
    if (uri.second.empty()) continue;
    SharedPointer<Attribute> a(new Attribute(uri.first, "uri"));
    a->add_field("url")->set_value(uri.second);
    o.get_attributes().push_back(a);
  }
  const orva::ErrorCode r = repo_->insert_object(o);
  EXPECT_EQ(0, r);
  return r == 0 ? o.get_local_id() : 0;
}

orva::ErrorCode TransferTest::start(DirectTransferHandler& handler) {
  const orva::ErrorCode r = handler.start(params(), "device-1", listener_);
  reports_at_return_ = listener_.reports.size();
  return r;
}

orva::keldra::SyncService::SyncParams TransferTest::params(uint32_t iap) {
  orva::keldra::SyncService::SyncParams p;
  p.service = "personal";
  p.user = "anna";
  p.password = "secret";
  p.iap = iap;
  return p;
}

bool TransferTest::wait_final() {
  return wait_until([&] { return listener_.finals() > 0; });
}

void TransferTest::pump_a_while() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

}  // namespace keldra_test
