// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The playback component against the shared simulated sound service (the scripted
// fake in DXSoundTest.cpp covers the refused primary buffer and the call order).
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include "app/DXSound.h"
#include "base/Errors.h"
#include "capture/CaptureErrors.h"
#include "tests/support/SimulatedSoundService.h"

using namespace veldora::base;
using namespace veldora::sound;
using namespace veldora::app;
using veldora::capture::EDirectSoundError;

namespace {

TEST(DXSoundTestSimulated, OpenedOnLoadedAndReleasedOnDestruction) {
    SimulatedSoundService service;
    QWidget form;
    auto sound = std::make_unique<TDXSound>(&form);
    sound->setOptions(soGlobalFocus);
    sound->Loaded();
    EXPECT_TRUE(sound->Ready());
    EXPECT_EQ(sound->DSound()->DXResult(), DS_OK); // the cooperative level was set
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 2);
    sound.reset();
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 0);
}

TEST(DXSoundTestSimulated, RefusedDeviceIsSwallowed) {
    SimulatedSoundService service;
    service.setPlaybackOpenResult(DSERR_NODRIVER);
    QWidget form;
    TDXSound sound(&form);
    EXPECT_NO_THROW(sound.Loaded());
    EXPECT_FALSE(sound.Ready());
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 0);
}

TEST(DXSoundTestSimulated, MissingLibraryPassesOn) {
    SimulatedSoundService service;
    service.setLibraryMissing(true);
    QWidget form;
    TDXSound sound(&form);
    try {
        sound.Loaded();
        ADD_FAILURE() << "no exception";
    } catch (const EDirectSoundError&) {
        ADD_FAILURE() << "a missing library is not a refused device";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), std::string(kSoundLibraryName) + " not loaded");
    }
    EXPECT_FALSE(sound.Ready());
}

} // namespace
