// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/SoundLibrary.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/ExecutablePath.h"
#include "capture/CaptureErrors.h"

namespace veldora::capture {

namespace {

// One loaded library: a real one (dlopen handle) or an in-process stand-in of the tests.
struct LoadedLibrary {
    std::string lowerName;
    void* handle = nullptr;
    SoundLibraryTestSeam::ProcLookup inProcess;
};

std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}

// `LoadedLibraries`, created on first use.
std::unique_ptr<std::vector<LoadedLibrary>>& loadedLibraries() {
    static std::unique_ptr<std::vector<LoadedLibrary>> list;
    return list;
}

std::map<std::string, SoundLibraryTestSeam::ProcLookup>& inProcessLibraries() {
    static std::map<std::string, SoundLibraryTestSeam::ProcLookup> libraries;
    return libraries;
}

std::string& libraryDirectoryOverride() {
    static std::string directory;
    return directory;
}

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string libraryPath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    const std::string& override = libraryDirectoryOverride();
    if (!override.empty())
        return override + "/" + name;
    return (base::executablePath().empty() ? "." : base::executableDirectory()) + "/" + name;
}

base::Exception notLoaded(const std::string& libraryName) {
    return base::Exception(libraryName + " not loaded");
}

template <class Proc> Proc entryPoint(const char* procName) {
    return reinterpret_cast<Proc>(GetLibraryProc(sound::kSoundLibraryName, procName));
}

} // namespace

void* GetLibraryProc(const std::string& LibraryName, const std::string& ProcName) {
    std::lock_guard lock(libraryMutex());
    auto& list = loadedLibraries();
    if (!list)
        list = std::make_unique<std::vector<LoadedLibrary>>();
    const std::string key = lowerCased(LibraryName);
    auto found = std::find_if(list->begin(), list->end(),
                              [&](const LoadedLibrary& library) { return library.lowerName == key; });
    if (found == list->end()) {
        LoadedLibrary library{key, nullptr, {}};
        auto stand_in = inProcessLibraries().find(key);
        if (stand_in != inProcessLibraries().end()) {
            library.inProcess = stand_in->second;
        } else {
            library.handle = dlopen(libraryPath(LibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!library.handle)
                throw notLoaded(LibraryName);
        }
        list->push_back(std::move(library));
        found = list->end() - 1;
    }
    void* proc = found->inProcess ? found->inProcess(ProcName) : dlsym(found->handle, ProcName.c_str());
    if (!proc)
        throw notLoaded(LibraryName);
    return proc;
}

sound::HRESULT DirectSoundCreate(const sound::GUID* guid, sound::IDirectSound** sound,
                                 sound::IUnknown* outer) {
    *sound = nullptr;
    return entryPoint<sound::DirectSoundCreateProc>("DirectSoundCreate")(guid, sound, outer);
}

sound::HRESULT DirectSoundCaptureCreate(const sound::GUID* guid, sound::IDirectSoundCapture** capture,
                                        sound::IUnknown* outer) {
    *capture = nullptr;
    try {
        return entryPoint<sound::DirectSoundCaptureCreateProc>("DirectSoundCaptureCreate")(guid, capture,
                                                                                           outer);
    } catch (...) {
        throw EDirectXError("Necessary since DirectX 5");
    }
}

sound::HRESULT DirectSoundCaptureEnumerate(sound::LPDSENUMCALLBACKA callback, void* context) {
    try {
        return entryPoint<sound::DirectSoundCaptureEnumerateAProc>("DirectSoundCaptureEnumerateA")(callback,
                                                                                                   context);
    } catch (...) {
        throw EDirectXError("Necessary since DirectX 5");
    }
}

void FreeLoadedLibraries() {
    std::lock_guard lock(libraryMutex());
    auto& list = loadedLibraries();
    if (!list)
        return;
    for (LoadedLibrary& library : *list)
        if (library.handle)
            dlclose(library.handle);
    list.reset();
}

bool SoundLibraryThreadsEnded(uint32_t WaitMilliseconds) {
    std::lock_guard lock(libraryMutex());
    const auto& list = loadedLibraries();
    if (!list)
        return true;
    const std::string key = lowerCased(sound::kSoundLibraryName);
    for (const LoadedLibrary& library : *list) {
        if (library.lowerName != key || !library.handle)
            continue;
        const auto ended = reinterpret_cast<sound::VeldoraSoundThreadsEndedProc>(
            dlsym(library.handle, "VeldoraSoundThreadsEnded"));
        return !ended || ended(WaitMilliseconds) != 0;
    }
    return true;
}

namespace SoundLibraryTestSeam {

void registerInProcessLibrary(const std::string& libraryName, ProcLookup lookup) {
    std::lock_guard lock(libraryMutex());
    inProcessLibraries()[lowerCased(libraryName)] = std::move(lookup);
}

void unregisterInProcessLibrary(const std::string& libraryName) {
    std::lock_guard lock(libraryMutex());
    inProcessLibraries().erase(lowerCased(libraryName));
}

void setLibraryDirectory(const std::string& directory) {
    std::lock_guard lock(libraryMutex());
    libraryDirectoryOverride() = directory;
}

} // namespace SoundLibraryTestSeam

} // namespace veldora::capture
