#pragma once

#include <cstdint>
#include <span>

namespace orvelin {

// One known locale: the name a pack file may carry, the platform's language
// identifier (primary language in bits 0-9, sublanguage in bits 10-15), its
// three-letter abbreviation and the POSIX locale that stands for it here.
struct LocaleRow {
    const char* name;
    uint16_t languageId;
    const char* abbreviation;
    const char* posixLocale;
};

// All 273 rows in search order.
std::span<const LocaleRow> LocaleTable();

// The Windows ANSI code page of a language identifier (1252 for Western
// European languages, 1251 for Cyrillic, 936 for simplified Chinese, ...); 0
// for languages that have none and are written in Unicode only.
int AnsiCodePage(uint16_t languageId);

} // namespace orvelin
