// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The library binding and the capture driver list, against the simulated service.
#include <cstring>
#include <dlfcn.h>
#include <gnu/lib-names.h>
#include <link.h>

#include "capture/CaptureDrivers.h"
#include "capture/SoundLibrary.h"
#include "tests/capture/CaptureFixture.h"

using namespace veldora::base;
using namespace veldora::capture;
using namespace veldora::sound;

using CaptureBinding = CaptureFixture;

TEST_F(CaptureBinding, MissingLibraryRaisesNotLoadedWithTheLibraryName) {
    sound.setLibraryMissing(true);
    try {
        GetLibraryProc(kSoundLibraryName, "DirectSoundCaptureCreate");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "libveldorasound.so not loaded");
        EXPECT_STREQ(e.className(), "Exception");
    }
    // DirectSoundCreate passes the binding's failure on unchanged.
    IDirectSound* sound_out = reinterpret_cast<IDirectSound*>(0x1);
    try {
        DirectSoundCreate(nullptr, &sound_out, nullptr);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "libveldorasound.so not loaded");
        EXPECT_STREQ(e.className(), "Exception");
    }
    EXPECT_EQ(sound_out, nullptr) << "the out reference is cleared first";
}

TEST_F(CaptureBinding, CaptureEntryPointsReplaceEveryFailureWithDirectXError) {
    sound.setLibraryMissing(true);
    IDirectSoundCapture* capture = nullptr;
    EXPECT_THROW(
        {
            try {
                DirectSoundCaptureCreate(nullptr, &capture, nullptr);
            } catch (const EDirectXError& e) {
                EXPECT_EQ(e.message(), "Necessary since DirectX 5");
                EXPECT_STREQ(e.className(), "EDirectXError");
                throw;
            }
        },
        EDirectXError);
    EXPECT_THROW(
        DirectSoundCaptureEnumerate([](GUID*, const char*, const char*, void*) { return 1; }, nullptr),
        EDirectXError);
}

TEST_F(CaptureBinding, MissingEntryPointRaisesNotLoaded) {
    sound.removeEntryPoint("DirectSoundCaptureEnumerateA");
    try {
        GetLibraryProc(kSoundLibraryName, "DirectSoundCaptureEnumerateA");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "libveldorasound.so not loaded");
    }
    EXPECT_THROW(CaptureDrivers(), EDirectXError);
    // The other entry points of the loaded library still answer.
    EXPECT_NE(GetLibraryProc(kSoundLibraryName, "DirectSoundCaptureCreate"), nullptr);
}

namespace {

// Where this process's C library was loaded from, as the loader found it: the folder
// differs between architectures ("/lib/<multiarch triplet>/"), and so may the name.
std::string loadedCLibraryPath() {
    void* handle = dlopen(LIBC_SO, RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr)
        return {};
    link_map* map = nullptr;
    const std::string path = dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr ? map->l_name : "";
    dlclose(handle);
    return path;
}

} // namespace

TEST_F(CaptureBinding, LoadsRealLibrariesByPathAndLooksUpEntryPoints) {
    // A name with a '/' is loaded as given; the C library is on every machine.
    const std::string libc = loadedCLibraryPath();
    ASSERT_NE(libc.find('/'), std::string::npos) << "C library found as \"" << libc << "\"";
    auto* strlenProc = reinterpret_cast<size_t (*)(const char*)>(GetLibraryProc(libc, "strlen"));
    ASSERT_NE(strlenProc, nullptr);
    EXPECT_EQ(strlenProc("four"), 4u);
    try {
        GetLibraryProc(libc, "NoSuchEntryPoint");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), libc + " not loaded");
    }
    FreeLoadedLibraries();
}

TEST_F(CaptureBinding, CaptureCreateClearsTheReferenceAndReturnsTheServiceCode) {
    sound.setOpenResult(DSERR_NODRIVER);
    IDirectSoundCapture* capture = reinterpret_cast<IDirectSoundCapture*>(0x1);
    EXPECT_EQ(DirectSoundCaptureCreate(nullptr, &capture, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(capture, nullptr);
}

TEST_F(CaptureBinding, DriverListHasTheDefaultDeviceFirstWithANullGuid) {
    TDirectXDrivers& drivers = CaptureDrivers();
    ASSERT_EQ(drivers.Count(), 2);
    EXPECT_EQ(drivers[0].Guid, nullptr);
    EXPECT_EQ(drivers[0].Description, "Primary Sound Capture Driver");
    EXPECT_EQ(drivers[0].ID, 0);
    TDirectXDriver& card = drivers.Items(1);
    ASSERT_EQ(card.Guid, &card.GuidValue) << "the GUID is the item's own copy";
    EXPECT_EQ(card.GuidValue.bytes[0], 0x01);
    EXPECT_EQ(card.Description, "Simulated Card");
    EXPECT_EQ(card.ModuleName, "hw:0");
    EXPECT_EQ(card.Collection, &drivers);
    EXPECT_EQ(card.ID, 1);
}

TEST_F(CaptureBinding, DriverListIsBuiltOnceAndReachableThroughTheStreamClass) {
    TDirectXDrivers& first = CaptureDrivers();
    sound.setDevices({{std::nullopt, "Late", ""}}); // a device that appears later is not listed
    TDirectXDrivers& second = TSoundCaptureStream::CaptureDrivers();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.Count(), 2);
    EXPECT_EQ(sound.enumerateCalls(), 1);
}

TEST_F(CaptureBinding, DriverIndexOutsideTheListRaisesListError) {
    TDirectXDrivers& drivers = CaptureDrivers();
    for (int index : {-1, 2}) {
        try {
            drivers.Items(index);
            FAIL() << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.message(), "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
}

TEST_F(CaptureBinding, MissingLibraryLeavesTheListEmptyAndTheNextCallRetries) {
    sound.setLibraryMissing(true);
    try {
        CaptureDrivers();
        FAIL() << "no exception";
    } catch (const EDirectXError& e) {
        EXPECT_EQ(e.message(), "Necessary since DirectX 5");
    }
    sound.setLibraryMissing(false);
    EXPECT_EQ(CaptureDrivers().Count(), 2);
    EXPECT_EQ(sound.enumerateCalls(), 1);
}

TEST_F(CaptureBinding, FailingEnumerationKeepsTheDevicesListedSoFar) {
    sound.failEnumerationAfter(1, DSERR_GENERIC);
    TDirectXDrivers& drivers = CaptureDrivers();
    ASSERT_EQ(drivers.Count(), 1);
    EXPECT_EQ(drivers[0].Guid, nullptr);
}

TEST_F(CaptureBinding, StreamOpensTheDeviceOfADriver) {
    TDirectXDrivers& drivers = CaptureDrivers();
    stream = std::make_unique<TSoundCaptureStream>(drivers[1].Guid);
    ASSERT_TRUE(sound.lastOpenGuid().has_value());
    EXPECT_EQ(std::memcmp(sound.lastOpenGuid()->bytes, drivers[1].GuidValue.bytes, 16), 0);
    stream = std::make_unique<TSoundCaptureStream>(drivers[0].Guid);
    EXPECT_FALSE(sound.lastOpenGuid().has_value());
}
