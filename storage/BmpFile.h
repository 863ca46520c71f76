#pragma once
// BMP picture files. Qt-free; any thread (one picture per call).
#include <cstddef>
#include <string>

#include "app/Errors.h"
#include "display/Bitmap.h"
#include "storage/FileCalls.h"

// Loads a BMP file: the 40-byte information header and its larger versions (52, 56,
// 108, 124 bytes) and the old 12-byte core header; 1, 4 and 8 bits per pixel with a
// palette, 16, 24 and 32 bits with or without bit-field masks, RLE8 and RLE4;
// bottom-up or top-down rows. Malformed content is refused, never half-read: truncated
// headers or rows, unknown depths or compressions, palette indexes beyond the palette,
// offsets past the end, pictures of more than 16 Mpixel.
// Throws EFOpenError "Cannot open file %s" (the path as given) when the file cannot be
// opened or read (a directory, for one), EInvalidGraphic "Bitmap image is not valid"
// when its content is not a valid bitmap.
Bitmap readBmpFile(const std::string& path);
Bitmap decodeBmp(const unsigned char* data, size_t size); // throws EInvalidGraphic

// Writes the picture at its own size as a 24-bit uncompressed BMP: 14-byte file header,
// 40-byte information header (resolution 3780 pixels per metre, 96 dpi), rows
// bottom-up in BGR order padded to 4 bytes. The new content is written beside the
// target and replaces it only once complete, so a failed write never destroys an
// existing file. Throws EFCreateError "Cannot create file %s" (the path as given) when
// the file cannot be created or replaced, EWriteError "Stream write error" when writing
// fails part-way.
void writeBmpFile(const std::string& path, const Bitmap& picture,
                  const FileCalls& calls = FileCalls::system());
std::string encodeBmp(const Bitmap& picture);
