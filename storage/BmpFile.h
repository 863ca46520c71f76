// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// BMP picture files. Qt-free; any thread (one picture per call).
#include <string>

#include "base/Errors.h"
#include "display/Bitmap.h"
#include "storage/BmpDecoder.h"
#include "storage/BmpEncoder.h"
#include "storage/FileCalls.h"

namespace veldora::storage {

// Loads a BMP file as decodeBmp reads it.
// Throws EFOpenError "Cannot open file %s" (the path as given) when the file cannot be
// opened or read (a directory, for one), EInvalidGraphic "Bitmap image is not valid"
// when its content is not a valid bitmap.
display::Bitmap readBmpFile(const std::string& path);

// Writes the picture as encodeBmp gives it. The new content is written beside the
// target and replaces it only once complete, so a failed write never destroys an
// existing file. Throws EFCreateError "Cannot create file %s" (the path as given) when
// the file cannot be created or replaced, EWriteError "Stream write error" when writing
// fails part-way.
void writeBmpFile(const std::string& path, const display::Bitmap& picture,
                  const FileCalls& calls = FileCalls::system());

} // namespace veldora::storage
