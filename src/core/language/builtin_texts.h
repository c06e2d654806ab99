#pragma once

#include "core/language/lang_table.h"

namespace sw {

// Refills the table with the program's own English texts, all LangTableSize of them in index order,
// so that a language file applied afterwards never leaves texts of an earlier language behind.
void fillBuiltinTexts(LangTable& table);

// A table holding only the program's own English texts, filled once: for messages of the core that are
// not shown in the user's language, and for tests.
const LangTable& builtinTexts();

} // namespace sw
