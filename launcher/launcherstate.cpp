#include "launcher/launcherstate.h"

namespace orv::launcher {

const std::array<std::string_view, 19> controlNames = {
    "Text1",  "Text2",  "Text3",  "Text4",  "Text5",  "Text6",  "Text7",  "Text8",  "Text10", "Text11",
    "Text12", "Text13", "Text14", "Text15", "Label1", "Label2", "Label3", "Label4", "Label5"};

std::string* LauncherState::text(std::string_view controlName) {
    return const_cast<std::string*>(static_cast<const LauncherState*>(this)->text(controlName));
}

const std::string* LauncherState::text(std::string_view name) const {
    const std::pair<std::string_view, const std::string*> table[] = {
        {"Text1", &Text1},   {"Text2", &Text2},   {"Text3", &Text3},   {"Text4", &Text4},
        {"Text5", &Text5},   {"Text6", &Text6},   {"Text7", &Text7},   {"Text8", &Text8},
        {"Text10", &Text10}, {"Text11", &Text11}, {"Text12", &Text12}, {"Text13", &Text13},
        {"Text14", &Text14}, {"Text15", &Text15}, {"Label1", &Label1}, {"Label2", &Label2},
        {"Label3", &Label3}, {"Label4", &Label4}, {"Label5", &Label5}};
    for (const auto& [key, member] : table) {
        if (key == name) return member;
    }
    return nullptr;
}

}  // namespace orv::launcher
