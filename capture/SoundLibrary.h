// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program's binding to the sound-service library: the library is loaded on first
// use, next to the executable, and its entry points are looked up by name. All
// functions are called on the main thread (a mutex guards the list all the same).
#include <functional>
#include <string>

#include "capture/SoundService.h"

namespace veldora::capture {

// The entry point `ProcName` of `LibraryName`. The library is loaded once, under the name
// passed (joined to the executable's directory unless it holds a '/'), and kept in
// `LoadedLibraries` under its lower-cased name; the entry point is looked up anew on
// every call. Raises Exception "%s not loaded" (the library name) when the library does
// not load or lacks the entry point.
void* GetLibraryProc(const std::string& LibraryName, const std::string& ProcName);

// Clears *sound and calls the library's "DirectSoundCreate"; returns its result code.
// A GetLibraryProc failure passes on unchanged.
sound::HRESULT DirectSoundCreate(const sound::GUID* guid, sound::IDirectSound** sound,
                                 sound::IUnknown* outer);
// Clears *capture and calls "DirectSoundCaptureCreate". Any exception while loading or
// calling becomes EDirectXError "Necessary since DirectX 5".
sound::HRESULT DirectSoundCaptureCreate(const sound::GUID* guid, sound::IDirectSoundCapture** capture,
                                        sound::IUnknown* outer);
// Calls "DirectSoundCaptureEnumerateA"; the same replacement by EDirectXError.
sound::HRESULT DirectSoundCaptureEnumerate(sound::LPDSENUMCALLBACKA callback, void* context);

// At program exit: frees every loaded library in load order, then the list.
void FreeLoadedLibraries();

// At program exit, before FreeLoadedLibraries: true once the sound library's threads
// have all ended (waiting up to WaitMilliseconds), or when it is not loaded; false while
// one is still inside a sound server that stopped answering: the library must stay.
bool SoundLibraryThreadsEnded(uint32_t WaitMilliseconds);

// Test seam. The product never calls these; tests use them to put a simulated service
// in the library's place or to make the library go missing.
namespace SoundLibraryTestSeam {
// Maps an entry-point name to its address, or null when missing.
using ProcLookup = std::function<void*(const std::string& procName)>;
// While registered, loading `libraryName` (compared lower-cased) yields this in-process
// library instead of a file. Takes effect for libraries not loaded yet: call
// FreeLoadedLibraries first when the real one may already be loaded.
void registerInProcessLibrary(const std::string& libraryName, ProcLookup lookup);
void unregisterInProcessLibrary(const std::string& libraryName);
// Where libraries are looked for instead of the executable's directory; empty restores
// the default. A directory without the library simulates "library missing".
void setLibraryDirectory(const std::string& directory);
} // namespace SoundLibraryTestSeam

} // namespace veldora::capture
