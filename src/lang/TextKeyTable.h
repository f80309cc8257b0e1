#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace orvelin {

// A text a language pack may supply: the id it is stored under and the key
// the pack file names it by.
struct TextKeyRow {
    const char* key;
    int32_t id;
};

// Every row, in loading order.
std::span<const TextKeyRow> TextKeyTable();

// The pack section a key is read from ("STRING", "MENU" or "DIALOG" by its
// first three characters); nullptr for a key of no section.
const char* SectionOfKey(const char* key);

} // namespace orvelin
