// The language text sources (lang/*.txt), read the same way by every tool
// that reads them: the language file writer, the skin filler and the English
// texts compiled into the program.
//
// UTF-8; "[Section]" starts a section; "key=value" lines follow (the first
// '=' separates; the value runs to the end of the line, with \n for a line
// break, \t for a tab and \\ for a backslash, nothing else escaped); blank
// lines and lines whose first non-blank character is '#' are skipped. A key
// appears once per section and a section once per file.
#pragma once

#include <string>
#include <vector>

#include "app/core/lang_file.h"

namespace app {

// The sections of a source in the order written. False at the first fault,
// with "<path>:<line>: <what>" in `error` (naming the key where there is
// one); `sections` then holds what came before it.
bool ParseLangSource(const std::string& text, const std::string& path,
                     std::vector<LangSection>* sections, std::string* error);

}  // namespace app
