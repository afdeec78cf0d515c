// The DirectInput-like mouse on its own: argument checks, reference counts and reads.
#include <gtest/gtest.h>

#include "input/direct_input.h"
#include "platform/null/null_backend.h"

namespace {

struct Mouse {
  IDirectInput8A* service = nullptr;
  IDirectInputDevice8A* device = nullptr;
  ~Mouse() {
    if (device) device->Release();
    if (service) service->Release();
  }
};

class DirectInputTest : public ::testing::Test {
 protected:
  void SetUp() override { window = null->CreateMainWindow("mouse", 32, 32, false); }
  void Create(Mouse& m) {
    ASSERT_EQ(DI_OK, DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A,
                                        reinterpret_cast<void**>(&m.service), nullptr));
    ASSERT_EQ(DI_OK, m.service->CreateDevice(GUID_SysMouse, &m.device, nullptr));
  }
  platform::ScopedNullBackend null;
  HWND window = nullptr;
};

TEST_F(DirectInputTest, ServiceIsVersionEightAnsiOnlyWithoutAggregation) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_LT(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &out, nullptr), 0);
  EXPECT_EQ(nullptr, out);
  EXPECT_LT(DirectInput8Create(nullptr, 0x0800, GUID_SysMouse, &out, nullptr), 0);
  int outer = 0;
  EXPECT_LT(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &out, &outer), 0);
  EXPECT_LT(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, nullptr, nullptr), 0);
  EXPECT_EQ(nullptr, out);
}

TEST_F(DirectInputTest, OnlyTheSystemMouseCanBeCreated) {
  Mouse m;
  Create(m);
  IDirectInputDevice8A* other = reinterpret_cast<IDirectInputDevice8A*>(1);
  EXPECT_EQ(DIERR_DEVICENOTREG, m.service->CreateDevice(IID_IDirectInput8A, &other, nullptr));
  EXPECT_EQ(nullptr, other);
}

TEST_F(DirectInputTest, DataFormatMustBeTheStandardMouse) {
  Mouse m;
  Create(m);
  DIDATAFORMAT wrong = c_dfDIMouse2;
  wrong.dwDataSize = 16;  // the four-button mouse
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetDataFormat(&wrong));
  wrong = c_dfDIMouse2;
  wrong.dwFlags = DIDF_ABSAXIS;
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetDataFormat(&wrong));
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetDataFormat(nullptr));
  EXPECT_EQ(DI_OK, m.device->SetDataFormat(&c_dfDIMouse2));
  EXPECT_EQ(20u, c_dfDIMouse2.dwDataSize);
  EXPECT_EQ(11u, c_dfDIMouse2.dwNumObjs);
}

TEST_F(DirectInputTest, CooperativeLevelNeedsOneOfEachPairAndAWindow) {
  Mouse m;
  Create(m);
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetCooperativeLevel(window, DISCL_EXCLUSIVE));
  EXPECT_EQ(DIERR_INVALIDPARAM,
            m.device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
  EXPECT_EQ(DIERR_INVALIDPARAM,
            m.device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND));
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetCooperativeLevel(nullptr, 5));
  EXPECT_EQ(DI_OK, m.device->SetCooperativeLevel(window, 5));
}

TEST_F(DirectInputTest, AxisModeTakesADwordPropertyForTheWholeDevice) {
  Mouse m;
  Create(m);
  DIPROPDWORD p = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, DIPROPAXISMODE_REL};
  DIPROPDWORD badSize = p;
  badSize.diph.dwSize = 24;
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetProperty(DIPROP_AXISMODE, &badSize.diph));
  DIPROPDWORD badHeader = p;
  badHeader.diph.dwHeaderSize = 20;
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetProperty(DIPROP_AXISMODE, &badHeader.diph));
  DIPROPDWORD oneObject = p;
  oneObject.diph.dwHow = 1;
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetProperty(DIPROP_AXISMODE, &oneObject.diph));
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->SetProperty(DIPROP_AXISMODE, nullptr));
  EXPECT_EQ(DI_OK, m.device->SetProperty(DIPROP_AXISMODE, &p.diph));
}

TEST_F(DirectInputTest, ReadsNeedAFormatAnAcquiredMouseAndTheRightSize) {
  Mouse m;
  Create(m);
  EXPECT_LT(m.device->Acquire(), 0);  // no data format yet
  EXPECT_EQ(0, null->acquireCount);
  ASSERT_EQ(DI_OK, m.device->SetDataFormat(&c_dfDIMouse2));
  ASSERT_EQ(DI_OK, m.device->SetCooperativeLevel(window, 5));
  DIMOUSESTATE2 state;
  EXPECT_EQ(DIERR_NOTACQUIRED, m.device->GetDeviceState(sizeof(state), &state));
  ASSERT_EQ(DI_OK, m.device->Acquire());
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->GetDeviceState(16, &state));
  EXPECT_EQ(DIERR_INVALIDPARAM, m.device->GetDeviceState(sizeof(state), nullptr));
  null->mouse = {-4, 8, 240, {0x80, 0, 0x80, 0, 0, 0, 0, 0x80}};
  ASSERT_EQ(DI_OK, m.device->GetDeviceState(sizeof(state), &state));
  EXPECT_EQ(-4, state.lX);
  EXPECT_EQ(8, state.lY);
  EXPECT_EQ(240, state.lZ);
  EXPECT_EQ(0x80, state.rgbButtons[0]);
  EXPECT_EQ(0, state.rgbButtons[1]);
  EXPECT_EQ(0x80, state.rgbButtons[7]);
}

TEST_F(DirectInputTest, LostMouseReportsInputLostOnceThenNotAcquired) {
  Mouse m;
  Create(m);
  ASSERT_EQ(DI_OK, m.device->SetDataFormat(&c_dfDIMouse2));
  ASSERT_EQ(DI_OK, m.device->SetCooperativeLevel(window, 5));
  ASSERT_EQ(DI_OK, m.device->Acquire());
  null->LoseMouse();
  DIMOUSESTATE2 state;
  EXPECT_EQ(DIERR_INPUTLOST, m.device->GetDeviceState(sizeof(state), &state));
  EXPECT_EQ(DIERR_NOTACQUIRED, m.device->GetDeviceState(sizeof(state), &state));
  ASSERT_EQ(DI_OK, m.device->Acquire());
  EXPECT_EQ(DI_OK, m.device->GetDeviceState(sizeof(state), &state));
  m.device->Unacquire();
  EXPECT_EQ(DIERR_NOTACQUIRED, m.device->GetDeviceState(sizeof(state), &state));
}

TEST_F(DirectInputTest, ReferenceCountsCountUpAndDown) {
  Mouse m;
  Create(m);
  EXPECT_EQ(2u, m.device->AddRef());
  EXPECT_EQ(1u, m.device->Release());
  EXPECT_EQ(2u, m.service->AddRef());
  EXPECT_EQ(1u, m.service->Release());
}

}  // namespace
