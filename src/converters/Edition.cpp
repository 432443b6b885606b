#include "converters/Edition.h"

namespace mdbtokvt {

Edition EditionOfRow(int row) {
  if (row < 0 || row >= static_cast<int>(kEditionNames.size())) return Edition::kNone;
  return static_cast<Edition>(row);
}

int16_t MemberLimitForEdition(Edition edition) { return edition == Edition::kLumen ? 32 : 500; }

std::string CompletionNote(Edition edition) {
  if (edition != Edition::kLumen) return "Conversion complete.";
  return std::string("Conversion complete. If you have any Groups with over 32 members, ") +
         "those Groups were truncated to the first 32 members for compatibility " +
         "with Telvane Wireless Lumen. For support of Groups with up to 500 " +
         "members please see Telvane Wireless Vireo, available at " +
         "https://www.telvane.example/";
}

}  // namespace mdbtokvt
