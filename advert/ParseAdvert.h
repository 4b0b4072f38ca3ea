// Reading the advert server's JSON answer.
#pragma once

#include <string>

#include "advert/AdvertItem.h"

// Fills item from body and returns true, or returns false and leaves item alone when the
// body is not JSON (or nests deeper than 1000 levels), its root is neither an object nor
// null, or a member has a type it cannot be read as. The reading is lenient where the
// server has always been lenient: comments are allowed, text after the root value is
// ignored, a repeated member counts with its last value, a null member counts as absent,
// booleans are read as text ("true"/"false") and as integers (1/0), and a real number
// "type" is truncated toward zero when it lies within the 32-bit range.
//
//   AdvertItem advert;
//   if (parseAdvert(body, advert) && advert.type == 1) { ... advert.img_url ... }
//
// Throws kestrova::TextConversionError when the title or text cannot be converted at all.
bool parseAdvert(const std::string& body, AdvertItem& item);
