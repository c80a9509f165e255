#pragma once
// A route to the touch chip that can carry one request at a time: the HID
// bridge (CHidDevice) or, later, the TCP link. The request dispatcher picks
// the link and completes the request; the link only moves the bytes.

#include <cstdint>

class CHidRequest;

class ILink {
 public:
  virtual ~ILink() = default;

  // Carries out the request's transfer and returns 1 on success, 0 on
  // failure. Does not complete the request (no callback, no event). Called
  // on the dispatcher thread only, one request at a time.
  virtual uint32_t ExecuteOnLink(CHidRequest& request) = 0;
};
