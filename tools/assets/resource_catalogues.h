// The resource catalogues of a KTHOME tree: the strings and image 998 of the
// operators' catalogue "zask_ops" and the toolkit's own images.
#pragma once

#include <string>

// Writes, under kthome (created with its parents when missing):
//   programs/zask/resources/zask_ops.strings         "NUMBER<TAB>TEXT" lines
//   programs/zask/resources/zask_ops.images/998.rgba  the preview's letter
//   resources/toolkit.images/N.rgba                   images 21 .. 30, 33, 551
// An .rgba file is a little-endian signed 32-bit width and height, then
// width x height pixels of 4 bytes (coverage, blue, green, red), rows top to
// bottom. False with a reason in error when a file cannot be written.
bool writeResourceCatalogues(const std::string& kthome, std::string& error);
