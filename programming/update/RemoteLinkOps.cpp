#include "programming/update/RemoteLinkOps.h"

#include "device/net/RemoteLink.h"

RemoteImageOps RemoteImageOpsOf(CRemoteLink& link) {
  RemoteImageOps ops;
  CRemoteLink* remote = &link;
  ops.takeImage = [remote] { return remote->TakeImage(); };
  ops.sendRequest = [remote] { return remote->SendRequest(); };
  ops.sendBurnDone = [remote] { return remote->SendBurnDone(); };
  ops.remaining = [remote] { return remote->Remaining(); };
  ops.decrementRemaining = [remote] { return remote->DecrementRemaining(); };
  ops.closeLink = [remote] { remote->CloseLink(); };
  return ops;
}
