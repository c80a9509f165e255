#pragma once
// Which link carries the device requests: the HID bridge (connection kind 1)
// or the networked device's TCP link (kind 2, "mode 2"). The network-connect
// command switches with these; the selection changes only between requests,
// so requests keep their order and never overlap across the switch.

#include <cstdint>
#include <string>

class CHidDevice;
class CTcpLink;

// Connects the link and, on success, routes every following request over
// it; the bridge device (may be null) is marked as reached over TCP. 1 on
// success; 0 leaves the HID link in place.
uint32_t ConnectNetworkDevice(CTcpLink& link, CHidDevice* bridge, const std::string& ip, int port);

// Routes every following request over the link, which is connected already;
// the bridge device (may be null) is marked as reached over TCP.
void SelectNetworkDevice(CTcpLink& link, CHidDevice* bridge);

// Routes the following requests to the HID bridge again and closes the
// link; a request in flight on the link finishes, or fails once the link's
// close grace has passed.
void DisconnectNetworkDevice(CTcpLink& link, CHidDevice* bridge);
