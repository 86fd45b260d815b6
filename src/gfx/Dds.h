#pragma once
// DirectDraw Surface files: 2D textures and cube maps, uncompressed (any
// 8-, 16-, 24- or 32-bit channel masks, half and single float RGBA) or
// DXT1/3/5 compressed, with their mip chains. The optional DX10 extension
// header is read for the same set of formats.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gfx/Image.h"

namespace gfx {

// True when the bytes start with the "DDS " signature.
bool IsDds(std::span<const std::uint8_t> bytes);

// Parses a whole file held in memory. Every size is checked against the
// bytes present before anything is read or allocated; an impossible,
// truncated or unsupported file gives nullopt and a reason in `error`.
// Uncompressed masks are converted to RGBA8; DXT2 and DXT4 are read as DXT3
// and DXT5. A mip count larger than the full chain is cut to the full chain;
// bytes after the last level are ignored.
std::optional<Image> ReadDds(std::span<const std::uint8_t> bytes, std::string& error);

// Writes an image as a DDS file: RGBA8 as A8R8G8B8, float formats by their
// Direct3D format numbers, DXT by FourCC; cube maps with all six faces.
// Returns an empty vector when the image is inconsistent (level sizes that
// do not match its format and dimensions).
std::vector<std::uint8_t> WriteDds(const Image& image);

// Decodes one 4 × 4 block (8 bytes for DXT1, 16 for DXT3 and DXT5) into 16
// RGBA8 pixels, row by row.
void DecodeDxtBlock(ImageFormat format, const std::uint8_t* block, std::uint8_t rgba[64]);

// Decodes a whole level to width × height RGBA8 pixels. Returns an empty
// vector when `data` is shorter than the level needs.
std::vector<std::uint8_t> DecodeDxt(ImageFormat format, int width, int height,
                                    std::span<const std::uint8_t> data);

}  // namespace gfx
