// Stand-in until the full private-profile implementation lands: reads
// nothing and writes nothing.
#include "platform/profile.h"

namespace marivo::profile {

std::string Read(const std::string&, const std::string&, const std::string&) { return {}; }

bool Write(const std::string&, const std::string&, const std::string&, const std::string&) {
  return false;
}

}  // namespace marivo::profile
