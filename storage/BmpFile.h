#pragma once
// BMP picture files. Qt-free.
#include <string>

#include "display/Bitmap.h"
#include "storage/FileCalls.h"

// Loads a BMP file: uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel, and
// RLE4/RLE8, top-down or bottom-up.
// Throws EFOpenError "Cannot open file %s" (the path) when the file cannot be opened,
// EInvalidGraphic "Bitmap image is not valid" when its content is not a valid bitmap.
Bitmap readBmpFile(const std::string& path);
Bitmap decodeBmp(const unsigned char* data, size_t size);   // throws EInvalidGraphic

// Writes a 24-bit uncompressed BMP (14-byte file header, 40-byte information header,
// rows bottom-up padded to 4 bytes). The new content is written beside the target
// and replaces it only once complete, so a failed write never destroys an existing
// file. Throws EFCreateError "Cannot create file %s" when the file cannot be created,
// EWriteError "Stream write error" when writing fails part-way.
void writeBmpFile(const std::string& path, const Bitmap& picture,
                  const FileCalls& calls = FileCalls::system());
std::string encodeBmp(const Bitmap& picture);
