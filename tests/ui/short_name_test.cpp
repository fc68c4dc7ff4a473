// What a closed drop-down field shows of a name too long for it.

#include "ui/ShortName.h"

#include <gtest/gtest.h>

namespace varnel::ui {
namespace {

// A field of so many characters (UTF-8 sequences count as one).
std::function<bool(std::string_view)> Room(std::size_t characters) {
  return [characters](std::string_view text) {
    std::size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count <= characters;
  };
}

TEST(ShortName, KeepsTheEndThatTellsDevicesApart) {
  struct Case {
    const char* name;
    std::size_t room;
    const char* shown;
  } cases[] = {
      {"Simulated DT9834(00)", 20, "Simulated DT9834(00)"},  // fits
      {"Simulated DT9834(00)", 15, "…DT9834(00)"},
      {"USB Audio CODEC: USB Audio (hw:CODEC,0)", 25, "…USB Audio (hw:CODEC,0)"},
      {"USB Audio CODEC: USB Audio (hw:CODEC,0)", 15, "…(hw:CODEC,0)"},
      {"USB Audio CODEC: USB Audio (hw:CODEC,0)", 8, "…ODEC,0)"},   // within the last word
      {"Interface  Zwei  Kanäle (hw:Zwei,0)", 14, "…(hw:Zwei,0)"},  // double spaces
      {"Zweikanalschnittstelle", 6, "…telle"},                      // one word
      {"Gerät ÄÖÜ", 3, "…ÖÜ"},                                      // never half a character
      {"DT9834(00)", 0, "…"},
      {"", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shown, ShortName(c.name, Room(c.room))) << c.name << " in " << c.room;
}

}  // namespace
}  // namespace varnel::ui
