// Synchronisation with the remote service.
//
// So far the request's parameter record, which the sync engine's handlers take; the
// service object itself joins here.
#pragma once

#include <cstdint>
#include <string>

namespace orva {
namespace keldra {

class SyncService {
 public:
  // The user's account data for one sync request; a plain record copied by value.
  struct SyncParams {
    std::string service;  // "personal"; also the name of the upload queue
    std::string user;     // empty when a token or the platform's online account is used
    std::string password;
    uint32_t iap = 0;     // network access point; 0: the platform's default
    std::string token;    // when not empty, used instead of user and password
    std::string account;  // the online account's id, handed to the storage plug-in
  };
};

}  // namespace keldra
}  // namespace orva
