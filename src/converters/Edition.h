// The editions of the receiving software the table files are written for.
// The front ends offer them by these names (the command line lower-cased,
// the window as the rows of its list, in this order); the edition decides
// how many member slots a group record has and the note shown at the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mdbtokvt {

// kNone: the window's list has no row selected; it converts like every
// edition but the first.
enum class Edition : int16_t { kNone = -1, kLumen = 0, kVireo = 1, kSentel = 2, kQuorra = 3 };

// The names of the editions, kLumen's first: an edition's row is its index.
inline constexpr std::array<std::string_view, 4> kEditionNames = {"Lumen", "Vireo", "Sentel",
                                                                  "Quorra"};

// The edition of a row of the list of kEditionNames; kNone for any other row.
Edition EditionOfRow(int row);
// The row of an edition in the list of kEditionNames; -1 for kNone.
inline int16_t EditionRow(Edition edition) { return static_cast<int16_t>(edition); }

// Member slots per group record: 32 for kLumen, else 500.
int16_t MemberLimitForEdition(Edition edition);

// The note shown when a conversion completes, which depends on the edition.
std::string CompletionNote(Edition edition);

}  // namespace mdbtokvt
