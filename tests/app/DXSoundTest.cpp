// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DXSound.h"
#include "base/Errors.h"
#include "capture/SoundLibrary.h"
#include "capture/service/RefCounted.h"

using namespace veldora::base;
using namespace veldora::capture;
using namespace veldora::sound;
using namespace veldora::app;

namespace {

using veldora::sound::createRefCounted;
using veldora::sound::RefCounted;

// A scripted playback service: counts its live objects and records the calls made.
struct FakeService {
    HRESULT createResult = DS_OK;
    HRESULT bufferResult = DS_OK;
    int live = 0;
    std::vector<std::string> calls;
    std::vector<std::pair<uintptr_t, uint32_t>> levels;
    DSBUFFERDESC lastDesc{};
};

FakeService& fake() {
    static FakeService service;
    return service;
}

class FakeBuffer : public RefCounted<IDirectSoundBuffer> {
  public:
    FakeBuffer() { ++fake().live; }
    ~FakeBuffer() override {
        --fake().live;
        fake().calls.push_back("buffer released");
    }
    HRESULT GetCaps(DSBCAPS* caps) override {
        fake().calls.push_back("GetCaps " + std::to_string(caps->dwSize));
        caps->dwFlags = DSBCAPS_PRIMARYBUFFER;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, uint32_t sizeAllocated, uint32_t* sizeWritten) override {
        fake().calls.push_back("GetFormat " + std::to_string(sizeAllocated));
        if (!format) {
            *sizeWritten = sizeof(WAVEFORMATEX);
            return DS_OK;
        }
        *format = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
        return DS_OK;
    }
};

class FakeSound : public RefCounted<IDirectSound> {
  public:
    FakeSound() { ++fake().live; }
    ~FakeSound() override {
        --fake().live;
        fake().calls.push_back("device released");
    }
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown*) override {
        fake().lastDesc = *desc;
        if (fake().bufferResult != DS_OK) {
            return fake().bufferResult;
        }
        *buffer = createRefCounted<FakeBuffer>();
        return DS_OK;
    }
    HRESULT SetCooperativeLevel(uintptr_t window, uint32_t level) override {
        fake().levels.emplace_back(window, level);
        return DS_OK;
    }
};

HRESULT fakeDirectSoundCreate(const GUID* guid, IDirectSound** sound, IUnknown*) {
    fake().calls.push_back(guid ? "create device" : "create default device");
    if (fake().createResult != DS_OK) {
        return fake().createResult;
    }
    *sound = createRefCounted<FakeSound>();
    return DS_OK;
}

class DXSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake() = FakeService{};
        FreeLoadedLibraries();
        SoundLibraryTestSeam::registerInProcessLibrary(
            kSoundLibraryName, [](const std::string& name) -> void* {
                return name == "DirectSoundCreate" ? reinterpret_cast<void*>(&fakeDirectSoundCreate)
                                                   : nullptr;
            });
    }
    void TearDown() override {
        SoundLibraryTestSeam::unregisterInProcessLibrary(kSoundLibraryName);
        SoundLibraryTestSeam::setLibraryDirectory("");
        FreeLoadedLibraries();
    }

    QWidget form;
};

TEST_F(DXSoundTest, LoadedOpensTheDeviceAndDestructionReleasesIt) {
    form.winId(); // the window exists already, as when the layout has been read
    {
        TDXSound sound(&form);
        sound.setOptions(soGlobalFocus);
        sound.Loaded();
        EXPECT_TRUE(sound.Initialized());
        EXPECT_TRUE(sound.Ready());
        EXPECT_EQ(fake().live, 2);
        EXPECT_TRUE(sound.DSound()->GlobalFocus);
        EXPECT_EQ(fake().lastDesc.dwSize, 36u);
        EXPECT_EQ(fake().lastDesc.dwFlags, DSBCAPS_PRIMARYBUFFER);
        EXPECT_EQ(fake().lastDesc.dwBufferBytes, 0u);
        EXPECT_EQ(fake().lastDesc.lpwfxFormat, nullptr);
        ASSERT_EQ(sound.Primary()->Format().size(), sizeof(WAVEFORMATEX));
        EXPECT_EQ(fake().levels, (std::vector<std::pair<uintptr_t, uint32_t>>{{form.winId(), DSSCL_NORMAL}}));
        fake().calls.push_back("destroying");
    }
    EXPECT_EQ(fake().live, 0);
    EXPECT_EQ(fake().calls,
              (std::vector<std::string>{"create default device", "GetCaps 20", "GetFormat 0", "GetFormat 18",
                                        "destroying", "buffer released", "device released"}));
}

TEST_F(DXSoundTest, ExclusiveOptionAsksForTheExclusiveLevel) {
    form.winId();
    TDXSound sound(&form);
    sound.setOptions(soExclusive | soStickyFocus);
    sound.Loaded();
    ASSERT_EQ(fake().levels.size(), 1u);
    EXPECT_EQ(fake().levels[0].second, DSSCL_EXCLUSIVE);
}

TEST_F(DXSoundTest, LevelIsSetWhenTheWindowHasToBeCreatedFirst) {
    ASSERT_EQ(form.internalWinId(), 0u);
    TDXSound sound(&form);
    sound.Loaded();
    ASSERT_NE(form.internalWinId(), 0u);
    // The window's creation comes back through the hook: the level is set twice.
    ASSERT_FALSE(fake().levels.empty());
    for (const auto& [window, level] : fake().levels) {
        EXPECT_EQ(window, form.winId());
        EXPECT_EQ(level, DSSCL_NORMAL);
    }
}

TEST_F(DXSoundTest, ReCreatedWindowGetsTheLevelAgainAndADestroyedOneIsNotReCreated) {
    form.winId();
    TDXSound sound(&form);
    sound.Loaded();
    ASSERT_EQ(fake().levels.size(), 1u);

    form.setWindowFlags(Qt::Tool); // destroys the native window
    EXPECT_EQ(form.internalWinId(), 0u);
    EXPECT_EQ(fake().levels.size(), 1u);

    form.show(); // a new native window
    ASSERT_NE(form.internalWinId(), 0u);
    ASSERT_GE(fake().levels.size(), 2u);
    EXPECT_EQ(fake().levels.back().first, form.winId());
    form.hide();
}

TEST_F(DXSoundTest, OwnerInsideTheWindowFindsTheWindow) {
    form.winId();
    QWidget* child = new QWidget(&form); // owned by the form
    TDXSound sound(child);
    sound.Loaded();
    ASSERT_EQ(fake().levels.size(), 1u);
    EXPECT_EQ(fake().levels[0].first, form.winId());
}

TEST_F(DXSoundTest, FailuresDuringInitialize) {
    struct Case {
        const char* name;
        HRESULT createResult;
        HRESULT bufferResult;
        bool missingLibrary;
        bool noForm;
        const char* message; // null: swallowed by Loaded
        const char* className;
    };
    const Case cases[] = {
        {"no playback device", DSERR_NODRIVER, DS_OK, false, false, nullptr, nullptr},
        {"success code counts as failure", 1, DS_OK, false, false, nullptr, nullptr},
        {"primary buffer refused", DS_OK, DSERR_ALLOCATED, false, false, "Primary Buffer cannot be made",
         "EDXSoundError"},
        {"library missing", DS_OK, DS_OK, true, false, "libveldorasound.so not loaded", "Exception"},
        {"no owning form", DS_OK, DS_OK, false, true, "Form not found", "EDXSoundError"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        fake().createResult = c.createResult;
        fake().bufferResult = c.bufferResult;
        if (c.missingLibrary) {
            SoundLibraryTestSeam::unregisterInProcessLibrary(kSoundLibraryName);
            SoundLibraryTestSeam::setLibraryDirectory("/nonexistent-veldora-dir");
        }
        QObject loose;
        TDXSound sound(c.noForm ? &loose : static_cast<QObject*>(&form));
        int finalizes = 0;
        sound.OnFinalize = [&](TCustomDXSound&) { ++finalizes; };
        if (c.message) {
            try {
                sound.Loaded();
                ADD_FAILURE() << "no exception";
            } catch (const Exception& e) {
                EXPECT_EQ(e.message(), c.message);
                EXPECT_STREQ(e.className(), c.className);
            }
        } else {
            EXPECT_NO_THROW(sound.Loaded());
        }
        EXPECT_FALSE(sound.Ready());
        EXPECT_FALSE(sound.Initialized());
        EXPECT_EQ(sound.DSound(), nullptr);
        EXPECT_EQ(fake().live, 0);
        EXPECT_TRUE(fake().levels.empty());
        EXPECT_EQ(finalizes, 0);
        TearDown();
    }
}

TEST_F(DXSoundTest, EventsAndOptionsFollowTheLifecycle) {
    form.winId();
    std::vector<std::string> events;
    {
        TDXSound sound(&form);
        sound.OnInitializing = [&](TCustomDXSound&) { events.push_back("initializing"); };
        sound.OnInitialize = [&](TCustomDXSound&) { events.push_back("initialize"); };
        sound.OnRestore = [&](TCustomDXSound&) { events.push_back("restore"); };
        sound.OnFinalize = [&](TCustomDXSound& s) {
            EXPECT_EQ(&s, &sound);
            events.push_back("finalize");
        };
        sound.setOptions(soGlobalFocus);
        sound.Loaded();

        // While ready, soExclusive keeps its value from initialisation.
        sound.setOptions(soExclusive | soStickyFocus);
        EXPECT_EQ(sound.NowOptions(), static_cast<TDXSoundOptions>(soStickyFocus));
        EXPECT_FALSE(sound.DSound()->GlobalFocus);
        EXPECT_TRUE(sound.DSound()->StickyFocus);

        sound.Finalize();
        EXPECT_EQ(sound.NowOptions(), static_cast<TDXSoundOptions>(soExclusive | soStickyFocus));
        EXPECT_EQ(fake().live, 0);
        sound.Initialize(); // opened again, now exclusive
        EXPECT_EQ(fake().levels.back().second, DSSCL_EXCLUSIVE);
    }
    EXPECT_EQ(fake().live, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"initializing", "initialize", "restore", "finalize",
                                                "initializing", "initialize", "restore", "finalize"}));
}

TEST_F(DXSoundTest, WithoutAutoInitializeLoadedOpensNothing) {
    TDXSound sound(&form);
    sound.AutoInitialize = false;
    sound.Loaded();
    EXPECT_FALSE(sound.Ready());
    EXPECT_TRUE(fake().calls.empty());
}

} // namespace
