#include <keldra/Static.h>
#include <keldra/StringPool.h>

#include "adaptation_umbo/storage/DatabaseManagerImpl.h"
#include "adaptation_umbo/events/DbusEventHandler.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::PString;
using orva::keldra::Static;
using orva::keldra::StringPool;
using orva::keldra::internal::DatabaseManagerImpl;
using orva::keldra::internal::DbusEventHandler;

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Checks that |lines| are, one for one, the texts starting with |prefixes|.
void expect_sequence(const std::vector<std::string>& lines,
                     const std::vector<std::string>& prefixes) {
  ASSERT_EQ(prefixes.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(starts_with(lines[i], prefixes[i])) << "line " << i << ": " << lines[i]
                                                    << "\n  expected: " << prefixes[i];
  }
}

const std::vector<std::string> kLifeLines = {
    "StringPool::create", "~StringPool", "Static::Static", "~Static",
    "DatabaseManagerImpl::", "DbusEventHandler::"};

TEST(Static, OneHolderPerThreadWithPoolAndManager) {
  SharedPointer<Static> a = Static::instance();
  SharedPointer<Static> b = Static::instance();
  ASSERT_TRUE(a.is_valid());
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(2u, a->get_ref_count());

  DatabaseManagerImpl* manager = a->DbManager();
  ASSERT_NE(nullptr, manager);
  EXPECT_EQ(manager, b->DbManager());
  std::vector<std::string> services;
  manager->get_services(services);
  EXPECT_EQ(std::vector<std::string>{"personal"}, services);

  // The holder made the thread's pool and keeps one count of it.
  SharedPointer<StringPool> pool = StringPool::create();
  EXPECT_EQ(pool.get(), StringPool::instance());
  EXPECT_EQ(2u, pool->get_ref_count());
}

TEST(Static, CreationAndReleaseOrder) {
  keldra_test::LogCapture log;
  Static* first = nullptr;
  {
    SharedPointer<Static> holder = Static::instance();
    first = holder.get();
    StringPool::insert("name");
  }
  const std::vector<std::string> lines = log.matching(kLifeLines);
  expect_sequence(lines, {
                             "StringPool::create: new 0x",
                             "DatabaseManagerImpl::DatabaseManagerImpl()",
                             "DbusEventHandler::instance()",
                             "DbusEventHandler::instance() new",
                             "DbusEventHandler::DbusEventHandler()",
                             "Static::Static, 0x",
                             "~Static, 0x",
                             // The manager goes while the pool still exists.
                             "DatabaseManagerImpl::~DatabaseManagerImpl()",
                             "DbusEventHandler::~DbusEventHandler()",
                             "~StringPool, 0x",
                             "~StringPool, 0x",
                         });
  if (lines.size() == 11) {
    char address[32];
    snprintf(address, sizeof(address), "0x%08X",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(first)));
    EXPECT_EQ(std::string("Static::Static, ") + address, lines[5]);
    EXPECT_EQ(std::string("~Static, ") + address, lines[6]);
    EXPECT_EQ(0u, lines[10].find("~StringPool, 0x")) << lines[10];
    EXPECT_NE(std::string::npos, lines[10].find(", 1 strings")) << lines[10];
  }
}

TEST(Static, NextInstanceAfterReleaseBuildsEverythingAnew) {
  keldra_test::LogCapture log;
  Static::instance();  // made and released at once
  { SharedPointer<Static> again = Static::instance(); }
  EXPECT_EQ(2u, log.matching({"Static::Static, 0x"}).size());
  EXPECT_EQ(2u, log.matching({"~Static, 0x"}).size());
  EXPECT_EQ(2u, log.count_exact("DatabaseManagerImpl::DatabaseManagerImpl()"));
  EXPECT_EQ(2u, log.count_exact("DatabaseManagerImpl::~DatabaseManagerImpl()"));
  EXPECT_EQ(2u, log.count_exact("DbusEventHandler::instance() new"));
  EXPECT_EQ(2u, log.matching({"StringPool::create: new"}).size());
}

TEST(Static, PoolKeptByAnotherHolderOutlivesTheStatic) {
  keldra_test::LogCapture log;
  SharedPointer<StringPool> serializer_pool;
  const PString* name = nullptr;
  {
    SharedPointer<Static> holder = Static::instance();
    serializer_pool = StringPool::create();
    name = StringPool::insert("name");
  }
  EXPECT_EQ(1u, log.count_exact("DatabaseManagerImpl::~DatabaseManagerImpl()"));
  EXPECT_TRUE(log.matching({"~StringPool"}).empty());
  EXPECT_EQ(1u, serializer_pool->get_ref_count());

  // A new holder takes the surviving pool: its names stay the same.
  {
    SharedPointer<Static> holder = Static::instance();
    EXPECT_EQ(serializer_pool.get(), StringPool::instance());
    EXPECT_EQ(name, StringPool::insert("name"));
    // Once for the serializer's own create(), once for the new holder.
    EXPECT_EQ(2u, log.matching({"StringPool::create: already exists at 0x"}).size());
  }
  EXPECT_TRUE(log.matching({"~StringPool"}).empty());
  serializer_pool.release();
  EXPECT_EQ(2u, log.matching({"~StringPool"}).size());
}

TEST(Static, EachThreadHasItsOwnHolderPoolAndHandler) {
  SharedPointer<Static> mine = Static::instance();
  const PString* my_name = StringPool::insert("name");
  SharedPointer<DbusEventHandler> my_handler = DbusEventHandler::instance();

  Static* theirs = nullptr;
  DatabaseManagerImpl* their_manager = nullptr;
  const PString* their_name = nullptr;
  DbusEventHandler* their_handler = nullptr;
  unsigned their_handler_count = 0;
  std::thread worker([&] {
    SharedPointer<Static> holder = Static::instance();
    theirs = holder.get();
    their_manager = holder->DbManager();
    their_name = StringPool::insert("name");
    SharedPointer<DbusEventHandler> handler = DbusEventHandler::instance();
    their_handler = handler.get();
    their_handler_count = handler->get_ref_count();
    // Everything is released here, on the thread that made it.
  });
  worker.join();

  EXPECT_NE(mine.get(), theirs);
  EXPECT_NE(mine->DbManager(), their_manager);
  EXPECT_NE(my_name, their_name);
  EXPECT_NE(my_handler.get(), their_handler);
  EXPECT_EQ(2u, their_handler_count);  // the worker's manager and the worker

  // This thread's objects are untouched by the worker's release.
  EXPECT_EQ(my_name, StringPool::insert("name"));
  EXPECT_EQ(my_handler.get(), DbusEventHandler::instance().get());
  EXPECT_EQ(mine.get(), Static::instance().get());
}

TEST(DbusEventHandler, OnePerThreadUntilItsLastHolderGoes) {
  keldra_test::LogCapture log;
  {
    SharedPointer<DbusEventHandler> a = DbusEventHandler::instance();
    SharedPointer<DbusEventHandler> b = DbusEventHandler::instance();
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(2u, a->get_ref_count());
  }
  EXPECT_EQ(2u, log.count_exact("DbusEventHandler::instance()"));
  EXPECT_EQ(1u, log.count_exact("DbusEventHandler::instance() new"));
  EXPECT_EQ(1u, log.count_exact("DbusEventHandler::~DbusEventHandler()"));

  // The destructor cleared the thread's word: the next call makes a new handler.
  { SharedPointer<DbusEventHandler> c = DbusEventHandler::instance(); }
  EXPECT_EQ(2u, log.count_exact("DbusEventHandler::instance() new"));
  EXPECT_EQ(2u, log.count_exact("DbusEventHandler::DbusEventHandler()"));
  EXPECT_EQ(2u, log.count_exact("DbusEventHandler::~DbusEventHandler()"));
}

TEST(DbusEventHandler, SharedWithTheThreadsDatabaseManager) {
  SharedPointer<Static> holder = Static::instance();
  SharedPointer<DbusEventHandler> handler = DbusEventHandler::instance();
  EXPECT_EQ(2u, handler->get_ref_count());
  holder.release();
  EXPECT_EQ(1u, handler->get_ref_count());
}

}  // namespace
