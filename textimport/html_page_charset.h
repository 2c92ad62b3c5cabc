// The code page of an HTML page, from its byte order mark, its <meta> declaration or a guess,
// and its text turned into UTF-8 for the page reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/recode.h"

namespace pagora::book_import {

// The code page a charset name stands for, as pages write it ("windows-1251", "CP1251",
// "koi8-r", "utf-8", "ibm866"...); none for a name the handheld's code pages do not cover.
std::optional<CodePage> codePageNamed(std::string_view name);

// The first charset that a <meta charset="..."> or <meta http-equiv="Content-Type"
// content="...; charset=..."> near the start of the page names, if it is one we know.
std::optional<CodePage> declaredCodePage(std::string_view page);

// The whole page as UTF-8, without a byte order mark.
std::string pageAsUtf8(std::string_view page);

}  // namespace pagora::book_import
