// A test fixture over |Base| with one loopback HTTPS server for the whole suite: started
// before the suite's first test, stopped after its last (gtest runs one suite at a time).
// A test's SetUp calls prepare_server() before Base::SetUp, so that the store takes the
// server as its sync server, with no answers and no record left by the test before.
#pragma once

#include "support/HttpsTestServer.h"

#include <gtest/gtest.h>

#include <string>

namespace keldra_test {

template <class Base>
class LoopbackServerSuite : public Base {
 protected:
  static void SetUpTestSuite() {
    s_server = new HttpsTestServer;
    ASSERT_TRUE(s_server->start()) << s_server->error();
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }
  // |sync_path|: the path of the sync server address.
  static void prepare_server(const std::string& sync_path = "/sync") {
    ASSERT_NE(nullptr, s_server);
    s_server->clear_answers();
    s_server->clear_record();
    s_server->redirect_sync_server(sync_path);
  }

  static inline HttpsTestServer* s_server = nullptr;
};

}  // namespace keldra_test
