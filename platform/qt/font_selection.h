// Which of the installed fonts the program lets Qt see.
//
// Before Qt can measure or draw the first text it lists every installed
// font through fontconfig, with its character set and languages, and keeps
// a record of each. On a desktop with a full Noto set (thousands of fonts)
// that is most of the start's CPU and several megabytes of memory, for
// fonts the game never draws with: its text is Japanese, in the few faces
// of the windows' designs, plus Qt's default font for tooltips.
//
// So, before Qt reads a font, the program sets up fontconfig itself: the
// user's own configuration (FONTCONFIG_FILE and the rest are honoured, so
// rendering settings, aliases and the user's own fonts stay) plus a rule
// that keeps only
// - every font that covers Japanese, and
// - every font of a family the game's faces or Qt's default fonts could
//   become under that configuration: the names asked for, their aliases,
//   and the families the configuration puts after them (the generic
//   families' preferred fonts), for the user's language and for Japanese.
// Fontconfig ranks the fonts for a request by family first, then by
// language, so whichever font drew a character before draws it still. A
// system without any font for Japanese is left as it is.
#pragma once

#include <fontconfig/fontconfig.h>

#include <string>
#include <vector>

namespace marivo::qt {

// The family names the game's text asks for: FamiliesFor each face of the
// windows' designs, then `defaults` (Qt's default fonts), each once.
std::vector<std::string> RequestedFamilies(const std::vector<std::string>& defaults);

// Every family `config` would consider for `requested`: each name with the
// families its rules add, for the user's language and for Japanese, each
// once, in the order met.
std::vector<std::string> FamiliesConsidered(FcConfig* config,
                                            const std::vector<std::string>& requested);

// The fontconfig rule (a configuration document) that accepts the fonts of
// `families` and rejects every other.
std::string KeepOnlyRule(const std::vector<std::string>& families);

// The user's configuration keeping only the game's fonts, read: of the
// fonts that configuration lets through, exactly those covering Japanese
// and those of the families FamiliesConsidered gives for
// RequestedFamilies(defaults) (none it rejects itself, bitmap fonts say,
// comes back). The caller owns it. Null
// when the configuration cannot be read, when no font covers Japanese (a
// system without one keeps all its fonts), or when the choice cannot be
// made exactly.
FcConfig* GameFontConfig(const std::vector<std::string>& defaults);

// Makes GameFontConfig the configuration of the process. Call it before
// Qt reads any font. False, with nothing changed, when there is none.
bool UseGameFontsOnly(const std::vector<std::string>& defaults);

}  // namespace marivo::qt
