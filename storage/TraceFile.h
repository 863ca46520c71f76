// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The trace file: entries 0..279 of the trace arrays, 280 X values then 280 Y values,
// each a signed 32-bit little-endian integer, 2240 bytes, no header. Entries 280..318
// are never read or written. Qt-free; main thread (callers pass the shared arrays).
#include <array>
#include <cstdint>
#include <string>

#include "display/TraceArrays.h"
#include "storage/FileCalls.h"
#include "storage/IoError.h"

namespace veldora::storage {

constexpr int kTraceFileBytes = display::kStoredPoints * 4 * 2; // 2240

using TraceFileBytes = std::array<uint8_t, kTraceFileBytes>;

TraceFileBytes encodeTraceFile(const display::TraceArray& x, const display::TraceArray& y);
// Replaces entries 0..279 of x and y with the values in `bytes`.
void decodeTraceFile(const TraceFileBytes& bytes, display::TraceArray& x, display::TraceArray& y);

// Saves the trace under `path` (used as given; relative to the current directory).
// The file is replaced only once the new content is complete: a failed save leaves
// an existing file as it was, a successful one leaves exactly 2240 bytes.
// Throws EInOutError: 3 "Invalid filename" for an empty path or a missing directory,
// 5 "File access denied" for a read-only file or directory, 101 "Disk full" when a
// write stores fewer bytes than asked, otherwise the code mapped from errno
// (ENOSPC: 112 "I/O error 112"); see storage/IoError.h.
void writeTraceFile(const std::string& path, const display::TraceArray& x, const display::TraceArray& y,
                    const FileCalls& calls = FileCalls::system());

// Loads the first 2240 bytes of the file into x and y; longer files are accepted and
// the rest ignored. The file is opened for reading only, so a read-only file or one on
// read-only media loads. On any error both arrays are left exactly as they were.
// Throws EInOutError: 2 "File not found", 3 "Invalid filename" (empty path, missing
// directory), 5 "File access denied" for a file the user may not read or a folder,
// 100 "Read beyond end of file" for a file shorter than 2240 bytes (a pipe with no
// writer among them), otherwise the code mapped from errno.
void readTraceFile(const std::string& path, display::TraceArray& x, display::TraceArray& y);

} // namespace veldora::storage
