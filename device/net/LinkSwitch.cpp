#include "device/net/LinkSwitch.h"

#include "device/link/HidDevice.h"
#include "device/link/RequestQueue.h"
#include "device/net/TcpLink.h"

uint32_t ConnectNetworkDevice(CTcpLink& link, CHidDevice* bridge, const std::string& ip, int port) {
  if (link.Connect(ip, port) == 0) return 0;
  SelectNetworkDevice(link, bridge);
  return 1;
}

void SelectNetworkDevice(CTcpLink& link, CHidDevice* bridge) {
  if (bridge != nullptr && bridge->ConnectionKind() == CHidDevice::kConnectionHid) {
    bridge->SetConnectionKind(CHidDevice::kConnectionTcp);
  }
  GetRequestQueue().SelectLink(&link);
}

void DisconnectNetworkDevice(CTcpLink& link, CHidDevice* bridge) {
  if (bridge != nullptr && bridge->ConnectionKind() == CHidDevice::kConnectionTcp) {
    bridge->SetConnectionKind(CHidDevice::kConnectionHid);
  }
  link.Close();
}
