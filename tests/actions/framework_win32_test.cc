// The process framework over a Windows Sockets layer that refuses version
// 2.x and takes 1.1: the start-up falls back, and the host-name lookup uses
// that start-up instead of asking for 2.x again.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "actions/framework.h"
#include "common/status.h"
#include "platform/net.h"
#include "platform/win32/net_win32.h"

namespace {

std::vector<WORD> gVersionsAsked;

int WSAAPI startupRefusing2(WORD version, LPWSADATA data) {
  gVersionsAsked.push_back(version);
  if (LOBYTE(version) >= 2) return WSAVERNOTSUPPORTED;
  return korva::win32::systemWinsockCalls().startup(version, data);
}

TEST(FrameworkWinsock, ALayerThatRefusesVersion2StillInitializes) {
  korva::win32::WinsockCalls calls = korva::win32::systemWinsockCalls();
  calls.startup = startupRefusing2;
  std::unique_ptr<korva::NetService> net = korva::win32::makeWinsockNetService(calls);
  korva::ScopedNetServiceForTesting scoped(net.get());
  gVersionsAsked.clear();
  CMAFramework framework;
  EXPECT_EQ(framework.initialize(), kStatusOk);
  EXPECT_FALSE(CMAFramework::localHostName().isEmpty());
  EXPECT_EQ(gVersionsAsked, (std::vector<WORD>{MAKEWORD(2, 0), MAKEWORD(1, 1)}));
  framework.uninitialize();
  EXPECT_EQ(framework.useCount(), 0);
}

}  // namespace
