// The sync service element's choice of library call, its parameters and its handling of
// reports, over a service that records what it is asked (what QML cannot see), and the
// factory's log reset on real log files.
#include "FileSyncOptionsImpl.h"
#include "KeldraImpl.h"
#include "ObjectLinkImpl.h"
#include "SyncServiceImpl.h"

#include "ElementTestUtil.h"
#include "support/LogCapture.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QSignalSpy>
#include <QVariantList>

#include <keldra/LoggerUmbo.h>
#include <keldra/SyncService.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using keldra::qtplugin::FileSyncOptionsImpl;
using keldra::qtplugin::KeldraImpl;
using keldra::qtplugin::ObjectLinkImpl;
using keldra::qtplugin::SyncServiceImpl;
using orva::SharedPointer;
using orva::keldra::ProgressHandler;
using orva::keldra::SyncService;

namespace {

// Records each request; answers with |answer|, first reporting (0, 0x6001) as the
// library does for a started sync.
class RecordingService : public SyncService {
 public:
  struct Request {
    std::string overload;  // "plain", "local", "global"
    unsigned tasks;
    std::vector<unsigned long long> ids;
    unsigned cascading;
    SyncParams params;
  };

  void set_listener(ProgressHandler* listener) override {
    if (listener) m_listener = listener;
  }
  void unset_listener(ProgressHandler* listener) override {
    if (m_listener == listener) m_listener = nullptr;
    ++unsets;
  }
  orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks) override {
    return record({"plain", tasks, {}, 0, params});
  }
  orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks,
                              const std::vector<unsigned int>& local_ids,
                              unsigned int cascading) override {
    return record({"local", tasks, {local_ids.begin(), local_ids.end()}, cascading, params});
  }
  orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks,
                              const std::vector<unsigned long long>& global_ids,
                              bool cascade) override {
    return record({"global", tasks, global_ids, cascade ? 1u : 0u, params});
  }
  orva::ErrorCode cancel() override { return 0; }
  bool sync_ongoing() const override { return ongoing; }
  uint64_t get_sync_data_transferred() const override { return 0; }

  void report(float progress, orva::ErrorCode status) {
    if (m_listener) m_listener->handle_progress(progress, status);
  }

  std::vector<Request> requests;
  orva::ErrorCode answer = 0;
  bool ongoing = false;
  int unsets = 0;
  ProgressHandler* m_listener = nullptr;

 private:
  orva::ErrorCode record(const Request& request) {
    requests.push_back(request);
    if (answer == 0) {
      ongoing = true;
      report(0.0f, ORVA_ERROR_KELDRA_IN_PROGRESS);
    }
    return answer;
  }
};

struct Fixture {
  Fixture()
      : service(new RecordingService), element(SharedPointer<SyncService>(service), nullptr) {}
  RecordingService* service;  // held by the element
  SyncServiceImpl element;
};

QVariantList objects(std::vector<QObject*> list) {
  QVariantList out;
  for (QObject* o : list) out << QVariant::fromValue(o);
  return out;
}

TEST(SyncServiceElement, StartChoosesTheLibraryCallByTaskBits) {
  struct Case {
    const char* name;
    int tasks;  // -1: start() without arguments
    bool with_links;
    const char* overload;
    unsigned sent_tasks;
    std::vector<unsigned long long> ids;
    unsigned cascading;
  };
  // Links: local 7 / global 0, local 0 / global 900, local 8 / global 901.
  const Case cases[] = {
      {"no arguments", -1, false, "plain", 4, {}, 0},
      {"tasks 0: SyncML only", 0, true, "plain", 4, {}, 0},
      {"upload and download: local ids", 3, true, "local", 3, {7, 0, 8}, 2},
      {"upload without objects", 1, false, "local", 1, {}, 2},
      {"download: global ids", 2, true, "global", 2, {0, 900, 901}, 1},
      {"subscribe: global ids", 64, true, "global", 64, {0, 900, 901}, 1},
      {"files download: plain", 16, true, "plain", 16, {}, 0},
      {"upload queue bit passes", 32, false, "plain", 32, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    ObjectLinkImpl a(qtplugin_test::link_to(7, 0), nullptr);
    ObjectLinkImpl b(qtplugin_test::link_to(0, 900), nullptr);
    ObjectLinkImpl d(qtplugin_test::link_to(8, 901), nullptr);
    FileSyncOptionsImpl notALink;
    QVariantList list = objects({&a, nullptr, &b, &notALink, &d});
    list.insert(1, QVariant(42));
    if (c.tasks < 0) {
      f.element.start();
    } else {
      f.element.start(SyncServiceImpl::Tasks(c.tasks), c.with_links ? list : QVariantList(), 2);
    }
    ASSERT_EQ(1u, f.service->requests.size());
    const RecordingService::Request& r = f.service->requests[0];
    EXPECT_EQ(c.overload, r.overload);
    EXPECT_EQ(c.sent_tasks, r.tasks);
    EXPECT_EQ(c.ids, r.ids);
    EXPECT_EQ(c.cascading, r.cascading);
    EXPECT_EQ("personal", r.params.service);
  }
}

TEST(SyncServiceElement, EntriesThatAreNoLinksGiveAnEmptyList) {
  Fixture f;
  FileSyncOptionsImpl notALink;
  f.element.start(SyncServiceImpl::TASK_OBJECTS_UPLOAD,
                  objects({&notALink, nullptr}) << QVariant(5) << QVariant(QString("x")));
  ASSERT_EQ(1u, f.service->requests.size());
  EXPECT_EQ("local", f.service->requests[0].overload);
  EXPECT_TRUE(f.service->requests[0].ids.empty());
}

TEST(SyncServiceElement, OptionsReachTheParameters) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, const char*>> options;
    uint32_t iap;
  };
  const Case cases[] = {
      {"number", {{2, "42"}}, 42},
      {"leading blanks and tail", {{2, "  17abc"}}, 17},
      {"no digits gives 0", {{2, "42"}, {2, "abc"}}, 0},
      {"empty keeps", {{2, "42"}, {2, ""}}, 42},
      {"blanks keep", {{2, "42"}, {2, "   "}}, 42},
      {"negative as two's complement", {{2, "-1"}}, 0xFFFFFFFFu},
      {"unknown option ignored", {{2, "5"}, {9, "77"}}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    for (const auto& o : c.options) {
      f.element.setOption(SyncServiceImpl::Option(o.first), QString::fromLatin1(o.second));
    }
    f.element.start();
    ASSERT_EQ(1u, f.service->requests.size());
    EXPECT_EQ(c.iap, f.service->requests[0].params.iap);
  }
  Fixture f;
  f.element.setOption(SyncServiceImpl::OPTION_USER, "anna");
  f.element.setOption(SyncServiceImpl::OPTION_PASSWORD, "secret");
  f.element.setOption(SyncServiceImpl::OPTION_TOKEN, "tok");
  f.element.setOption(SyncServiceImpl::OPTION_ACCOUNT, "42");
  f.element.start();
  const SyncService::SyncParams& p = f.service->requests[0].params;
  EXPECT_EQ("anna", p.user);
  EXPECT_EQ("secret", p.password);
  EXPECT_EQ("tok", p.token);
  EXPECT_EQ("42", p.account);
}

TEST(SyncServiceElement, ReportsBecomeSignalsAndStoredValues) {
  Fixture f;
  QSignalSpy progress(&f.element, &SyncServiceImpl::progressChanged);
  QSignalSpy done(&f.element, &SyncServiceImpl::syncDone);
  EXPECT_EQ(1, f.element.getStatus());
  f.element.start();
  f.service->report(0.5f, ORVA_ERROR_KELDRA_IN_PROGRESS);
  EXPECT_EQ(50u, f.element.getProgress());
  EXPECT_EQ(0, f.element.getStatus());
  EXPECT_EQ(0, done.count());
  f.service->report(0.999f, ORVA_ERROR_KELDRA_IN_PROGRESS);
  EXPECT_EQ(99u, f.element.getProgress());
  f.service->report(1.0f, 0);
  EXPECT_EQ(1, f.element.getStatus());
  EXPECT_EQ(1, done.count());
  ASSERT_EQ(4, progress.count());
  EXPECT_EQ(1, progress.at(3).at(1).toInt());
  f.service->report(0.3f, 0x6005);
  EXPECT_EQ(2, f.element.getStatus());
  EXPECT_EQ(2, done.count());
}

TEST(SyncServiceElement, StartWhileASyncRunsIsDroppedAndRefusalsAreReported) {
  Fixture f;
  QSignalSpy progress(&f.element, &SyncServiceImpl::progressChanged);
  QSignalSpy done(&f.element, &SyncServiceImpl::syncDone);
  f.service->ongoing = true;
  EXPECT_FALSE(f.element.startSync(4, orva::keldra::LinkList(), 0));
  EXPECT_TRUE(f.service->requests.empty());
  EXPECT_EQ(0, progress.count());

  f.service->ongoing = false;
  f.service->answer = 3;
  EXPECT_TRUE(f.element.startSync(4, orva::keldra::LinkList(), 0));
  ASSERT_EQ(1, progress.count());
  EXPECT_EQ(5, progress.at(0).at(1).toInt());
  EXPECT_EQ(1, done.count());
}

TEST(SyncServiceElement, DestructionUnsetsTheListenerOfAServiceThatLivesOn) {
  RecordingService* service = new RecordingService;
  SharedPointer<SyncService> held(service);
  {
    SyncServiceImpl element(held, nullptr);
    element.start();
    EXPECT_EQ(&element, static_cast<SyncServiceImpl*>(service->m_listener));
  }
  EXPECT_EQ(nullptr, service->m_listener);
  service->report(1.0f, 0);  // reaches nobody
}

// A receiver may delete the element from its first signal: the second is not sent from a
// deleted element.
TEST(SyncServiceElement, MayBeDeletedFromItsProgressSignal) {
  RecordingService* service = new RecordingService;
  SharedPointer<SyncService> held(service);
  SyncServiceImpl* element = new SyncServiceImpl(held, nullptr);
  element->start();
  QObject::connect(element, &SyncServiceImpl::progressChanged, [&element] {
    delete element;
    element = nullptr;
  });
  service->report(1.0f, 0);
  EXPECT_EQ(nullptr, element);
  EXPECT_EQ(nullptr, service->m_listener);
}

TEST(SyncServiceElement, OptionElementsAreDetachedCopies) {
  Fixture f;
  FileSyncOptionsImpl options;
  options.setImageScalingLongestSide(800);
  options.setAllowedFileTypes("image");
  f.element.setFileUploadOptions(&options);
  f.element.setFileDownloadOptions(nullptr);
  SyncService::FileSyncOptions up, down;
  f.service->get_file_transfer_options(up, down);
  EXPECT_EQ(800, up.image_scaling_longest_side);
  EXPECT_EQ(2u, up.allowed_file_types);
  EXPECT_EQ(0, down.image_scaling_longest_side);
  std::unique_ptr<FileSyncOptionsImpl> copy(f.element.getFileUploadOptions());
  EXPECT_EQ(nullptr, copy->parent());
  copy->setImageScalingLongestSide(1);
  f.service->get_file_transfer_options(up, down);
  EXPECT_EQ(800, up.image_scaling_longest_side);
}

TEST(SyncServiceElement, BackendOnlyTheTwoKnownValues) {
  keldra_test::LogCapture log("32");
  Fixture f;
  SyncService::SyncBackends backend;
  f.element.setBackend(SyncServiceImpl::BACKEND_CHINA);
  f.service->get_backend(backend);
  EXPECT_EQ(SyncService::CHINA, backend);
  f.element.setBackend(SyncServiceImpl::SyncBackends(2));
  f.service->get_backend(backend);
  EXPECT_EQ(SyncService::CHINA, backend);
  EXPECT_TRUE(log.has("QmlPlugin: SyncServiceImpl::setBackend invalid params -> assert"));
  f.element.setBackend(SyncServiceImpl::BACKEND_DEFAULT);
  f.service->get_backend(backend);
  EXPECT_EQ(SyncService::DEFAULT, backend);
  EXPECT_TRUE(log.has("Bacnkend DEFAULT selected"));
}

// resetLog(true) keeps the old log beside the new one under a time-stamped name;
// resetLog(false) deletes it.
TEST(KeldraFactory, ResetLogKeepsOrDropsTheOldLog) {
  for (bool save : {true, false}) {
    SCOPED_TRACE(save ? "saved" : "discarded");
    const QString folder = QString::fromStdString(keldra_test::home_dir() + "/.cities");
    QDir(folder).removeRecursively();
    keldra_test::LogCapture log("32");
    KeldraImpl factory;
    factory.resetLog(save);
    const QStringList kept =
        QDir(folder).entryList(QStringList() << "OstraMaps.log.*", QDir::Files);
    EXPECT_EQ(save ? 1 : 0, kept.size()) << kept.join(",").toStdString();
    if (save && kept.size() == 1) {
      const std::string old =
          keldra_test::read_file(folder.toStdString() + "/" + kept[0].toStdString());
      EXPECT_NE(std::string::npos, old.find("Log is split here"));
    }
    EXPECT_TRUE(log.has("Log is continued here"));
    EXPECT_EQ(std::string::npos, log.text().find("Log is split here"));
  }
}

}  // namespace
