#pragma once
// What the closed field of a drop-down list shows of an entry too long for
// it: the end of the name, which tells one device from another ("Simulated
// DT9834(00)" and "...(01)", "USB Audio CODEC: USB Audio (hw:CODEC,0)" and
// "...(hw:CODEC,1)"), after an ellipsis. Views measure with their own font;
// the whole name stays in the open list and in the field's tooltip.
//
// Pure; safe from any thread.

#include <functional>
#include <string>
#include <string_view>

namespace varnel::ui {

// The name when it fits; else "…" and the longest run of its last whole words
// that fits; else "…" and as many of its last characters (never half of a
// UTF-8 sequence) as fit; else the ellipsis alone.
std::string ShortName(std::string_view name, const std::function<bool(std::string_view)>& fits);

}  // namespace varnel::ui
